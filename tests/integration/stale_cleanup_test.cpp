#include "server/stale_cleanup.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "server/child_process.h"
#include "test_support.h"

namespace quorvel {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

class StaleCleanup : public ::testing::Test {
 protected:
  test::TempDir dir;
  std::string pidFile() const { return dir.path() + "/server.pid"; }

  // A "server" running from a bundle's interpreter path (or from `program`).
  std::shared_ptr<ChildProcess> runServer(const std::string& conf, std::string program = "") {
    if (program.empty()) program = test::makeBundle(dir.path(), test::fakeServerPath()) + "/ruby/bin/ruby";
    test::writeFile(dir.path() + "/work/fake_server.conf", conf);
    ProcessDescription d;
    d.executable = program;
    d.workingDirectory = dir.path() + "/work";
    d.outputFile = dir.path() + "/out.log";
    auto child = ChildProcess::launch(d).value();
    std::this_thread::sleep_for(150ms);  // let it install its signal handlers
    test::writeFile(pidFile(), std::to_string(child->processIdentifier()) + "\n");
    return child;
  }

  double secondsFor(auto&& action) {
    auto begin = Clock::now();
    action();
    return std::chrono::duration<double>(Clock::now() - begin).count();
  }
};

TEST_F(StaleCleanup, CooperativeServerIsTerminatedAndWaitedFor) {
  auto server = runServer("term_exit_ms=300\n");
  double took = secondsFor([&] { killStaleServer(pidFile()); });
  EXPECT_GE(took, 0.25);
  EXPECT_LT(took, 2.0) << "returns as soon as the server is gone";
  EXPECT_TRUE(server->waitForExit(0ms));
  EXPECT_EQ(server->terminationReason(), ChildProcess::TerminationReason::Exit);
  EXPECT_FALSE(test::exists(pidFile()));
}

TEST_F(StaleCleanup, ServerIgnoringTerminationSurvivesAfterTheWait) {
  auto server = runServer("ignore_sigterm=1\n");
  double took = secondsFor([&] { killStaleServer(pidFile(), 800ms); });
  EXPECT_GE(took, 0.75);
  EXPECT_TRUE(server->isRunning()) << "no stronger signal follows";
  EXPECT_FALSE(test::exists(pidFile()));
  server->kill();
  server->waitUntilExit();
}

TEST_F(StaleCleanup, AnotherProgramUnderThatPidIsLeftAlone) {
  auto other = runServer("", test::fakeServerPath());
  killStaleServer(pidFile());
  EXPECT_TRUE(other->isRunning());
  EXPECT_FALSE(test::exists(pidFile())) << "the file held a valid number";
  other->interrupt();
  other->waitUntilExit();
}

TEST_F(StaleCleanup, FilesWithoutAValidNumberStayInPlace) {
  const std::string contents[] = {"", "  \n", "abc", "12ab", "1 2", "4294967296",
                                  std::string("\xff\xfe", 2), std::string(100000, '1')};
  for (const auto& c : contents) {
    test::writeFile(pidFile(), c);
    killStaleServer(pidFile());
    EXPECT_TRUE(test::exists(pidFile())) << c.substr(0, 20);
  }
  std::filesystem::remove(pidFile());
  killStaleServer(pidFile());  // no file: nothing at all
  EXPECT_FALSE(test::exists(pidFile()));
}

TEST_F(StaleCleanup, NumbersNamingNoServerOnlyRemoveTheFile) {
  for (const char* pid : {"0", "-1", "-2147483648", "2147483647"}) {
    test::writeFile(pidFile(), pid);
    killStaleServer(pidFile());
    EXPECT_FALSE(test::exists(pidFile())) << pid;
  }
}

}  // namespace
}  // namespace quorvel
