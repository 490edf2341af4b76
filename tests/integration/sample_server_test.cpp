// One start, ready, stop with the real sample server on Ruby and Puma.

#include <gtest/gtest.h>

#include <filesystem>

#include "server/server_controller.h"
#include "server/stale_cleanup.h"
#include "test_support.h"

namespace quorvel {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

TEST(SampleServer, StartsOnRubyAndPumaAndStopsOnSigint) {
  test::TempDir dir;
  // A home whose path needs percent-encoding in DATABASE_URL.
  LaunchSettings settings =
      test::settingsFor(test::builtBundleResources(), dir.path() + "/home 100% é", test::freePort());
  ServerController controller(settings);
  Status status = test::startAndWait(controller, 90s);
  ASSERT_TRUE(status.ok()) << status.error().message() << "\n" << test::readFile(settings.logFile);

  pid_t pid = controller.serverPid();
  EXPECT_EQ(std::stoi(test::readFile(settings.pidFile)), pid) << "Puma writes the interpreter's own PID";
  std::string exe = std::filesystem::read_symlink("/proc/" + std::to_string(pid) + "/exe").string();
  EXPECT_TRUE(exe.ends_with(kServerExecutableSuffix)) << exe;
  EXPECT_TRUE(test::exists(settings.databaseFile)) << "the server made its database at the decoded path";

  std::string log = test::readFile(settings.supportDir + "/sample-requests.log");
  EXPECT_NE(log.find("\"path\":\"/up\""), std::string::npos) << log;
  EXPECT_NE(log.find("\"token_header\":\"" + controller.launchToken().value() + "\""), std::string::npos);

  auto begin = Clock::now();
  controller.stop();
  EXPECT_LT(Clock::now() - begin, 5s) << "Puma ends on SIGINT without being killed";
  EXPECT_FALSE(test::processAlive(pid));
}

}  // namespace
}  // namespace quorvel
