#include "server/child_process.h"

#include <sys/wait.h>

#include <gtest/gtest.h>

#include "test_support.h"

namespace quorvel {
namespace {

using namespace std::chrono_literals;

class ChildProcessTest : public ::testing::Test {
 protected:
  test::TempDir dir;
  ProcessDescription description(const std::string& conf) {
    test::writeFile(dir.path() + "/fake_server.conf", conf);
    ProcessDescription d;
    d.executable = test::fakeServerPath();
    d.arguments = {"server.rb", "-C", "config/puma.rb"};
    d.workingDirectory = dir.path();
    d.environment = {{"ONLY", "this"}, {"PIDFILE", dir.path() + "/pid"}};
    d.outputFile = dir.path() + "/out.log";
    return d;
  }
  void TearDown() override {
    // Every child has been reaped: no zombie is left behind.
    EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1);
  }
};

TEST_F(ChildProcessTest, RunsWithExactlyTheGivenEnvironmentDirectoryAndArguments) {
  test::writeFile(dir.path() + "/out.log", "kept line\n");
  auto child = ChildProcess::launch(description("record=1\nexit_status=0\n"));
  ASSERT_TRUE(child.ok()) << child.error().message();
  child.value()->waitUntilExit();

  std::string record = test::readFile(dir.path() + "/fake_server.record");
  EXPECT_NE(record.find("arg=" + test::fakeServerPath() + "\narg=server.rb\narg=-C\narg=config/puma.rb\n"),
            std::string::npos);
  EXPECT_NE(record.find("cwd=" + dir.path() + "\n"), std::string::npos);
  EXPECT_NE(record.find("env=ONLY=this\n"), std::string::npos);
  EXPECT_EQ(record.find("env=HOME="), std::string::npos) << "nothing inherited";
  EXPECT_EQ(record.find("env=PATH="), std::string::npos) << "nothing inherited";

  std::string out = test::readFile(dir.path() + "/out.log");
  EXPECT_EQ(out.rfind("kept line\nfake_server ", 0), 0u) << "output is appended: " << out;
}

TEST_F(ChildProcessTest, ReportsExitStatusOrSignal) {
  struct Case {
    const char* conf;
    ChildProcess::TerminationReason reason;
    int status;
  } cases[] = {
      {"exit_status=3\n", ChildProcess::TerminationReason::Exit, 3},
      {"exit_status=0\n", ChildProcess::TerminationReason::Exit, 0},
      {"die_signal=3\n", ChildProcess::TerminationReason::UncaughtSignal, 3},
  };
  for (const auto& c : cases) {
    auto child = ChildProcess::launch(description(c.conf)).value();
    child->waitUntilExit();
    EXPECT_FALSE(child->isRunning());
    EXPECT_EQ(child->terminationReason(), c.reason) << c.conf;
    EXPECT_EQ(child->terminationStatus(), c.status) << c.conf;
  }
}

TEST_F(ChildProcessTest, InterruptAndKill) {
  auto cooperative = ChildProcess::launch(description("")).value();
  EXPECT_FALSE(cooperative->waitForExit(200ms)) << "runs until told";
  cooperative->interrupt();
  EXPECT_TRUE(cooperative->waitForExit(5s));
  EXPECT_EQ(cooperative->terminationReason(), ChildProcess::TerminationReason::Exit);

  auto stubborn = ChildProcess::launch(description("ignore_sigint=1\n")).value();
  std::this_thread::sleep_for(200ms);  // let it install its handler
  stubborn->interrupt();
  EXPECT_FALSE(stubborn->waitForExit(300ms));
  stubborn->kill();
  EXPECT_TRUE(stubborn->waitForExit(5s));
  EXPECT_EQ(stubborn->terminationStatus(), 9);
  stubborn->kill();  // after the end: reaches nobody, does nothing
}

TEST_F(ChildProcessTest, LaunchFailuresAreErrorsWithoutAChild) {
  ProcessDescription missing = description("");
  missing.executable = dir.path() + "/no-such-ruby";
  auto result = ChildProcess::launch(missing);
  ASSERT_FALSE(result.ok());
  EXPECT_NE(result.error().message().find("No such file"), std::string::npos) << result.error().message();

  test::writeFile(dir.path() + "/not-executable", "#!/bin/sh\n");
  ProcessDescription plain = description("");
  plain.executable = dir.path() + "/not-executable";
  result = ChildProcess::launch(plain);
  ASSERT_FALSE(result.ok());
  EXPECT_NE(result.error().message().find("Permission denied"), std::string::npos) << result.error().message();

  ProcessDescription badDirectory = description("");
  badDirectory.workingDirectory = dir.path() + "/missing-dir";
  EXPECT_FALSE(ChildProcess::launch(badDirectory).ok());
}

TEST_F(ChildProcessTest, UnwritableOutputFileStillLaunches) {
  ProcessDescription d = description("exit_status=0\n");
  d.outputFile = dir.path() + "/missing-dir/out.log";
  auto child = ChildProcess::launch(d);
  ASSERT_TRUE(child.ok());
  child.value()->waitUntilExit();
  EXPECT_EQ(child.value()->terminationStatus(), 0);
}

}  // namespace
}  // namespace quorvel
