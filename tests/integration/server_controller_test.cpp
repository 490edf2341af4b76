#include "server/server_controller.h"

#include <sys/socket.h>
#include <netinet/in.h>
#include <arpa/inet.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <thread>

#include "server/child_process.h"

#include "test_support.h"

namespace quorvel {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

ServerTimings quick() {
  ServerTimings t;
  t.readinessDeadline = 3s;
  t.stopGrace = 1s;
  t.staleWait = 1s;
  return t;
}

class ServerControllerTest : public ::testing::Test {
 protected:
  test::TempDir dir;
  int port = test::freePort();
  std::string resources = test::makeBundle(dir.path(), test::fakeServerPath());
  std::string home = dir.path() + "/home";
  LaunchSettings settings = test::settingsFor(resources, home, port);

  void configure(const std::string& conf) { test::writeFile(settings.appRoot + "/fake_server.conf", conf); }
  std::string record() { return test::readFile(settings.appRoot + "/fake_server.record"); }

  Status start(ServerController& controller) { return test::startAndWait(controller, 20s); }

  void TearDown() override { EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1) << "a zombie was left"; }
};

std::string messageOf(const Status& status) { return status.ok() ? "success" : status.error().message(); }

TEST_F(ServerControllerTest, StartsAfterPreparingFoldersAndStopsPolitely) {
  test::writeFile(settings.logFile, "old log line\n");
  configure("record=1\nready_after_ms=300\n");
  ServerTimings timings = quick();
  timings.stopGrace = 5s;
  ServerController controller(settings, timings);
  Status status = start(controller);
  ASSERT_TRUE(status.ok()) << messageOf(status);

  pid_t pid = controller.serverPid();
  EXPECT_TRUE(test::processAlive(pid));
  EXPECT_EQ(test::readFile(settings.pidFile), std::to_string(pid) + "\n");
  EXPECT_NE(record().find("env=QUORVEL_LAUNCH_TOKEN=" + controller.launchToken().value()), std::string::npos);
  EXPECT_NE(record().find("arg=tcp://127.0.0.1:" + std::to_string(port)), std::string::npos);
  std::string log = test::readFile(settings.logFile);
  EXPECT_EQ(log.find("old log line"), std::string::npos) << "log re-created empty";
  EXPECT_NE(log.find("fake_server"), std::string::npos) << "server output in the log";

  auto begin = Clock::now();
  controller.stop();
  EXPECT_LT(Clock::now() - begin, 4s) << "a cooperative server is not waited for in full";
  EXPECT_EQ(test::readFile(settings.appRoot + "/fake_server.signals"), "INT\n");
  EXPECT_FALSE(test::processAlive(pid));
  controller.stop();  // an ended child: nothing to do
}

TEST_F(ServerControllerTest, ReadyOnlyAtTheFirst200) {
  configure("statuses=503,503,401\n");
  ServerController controller(settings, quick());
  ASSERT_TRUE(start(controller).ok());
  std::string requests = test::readFile(settings.appRoot + "/fake_requests.log");
  size_t upCount = 0;
  for (size_t at = 0; (at = requests.find("GET /up|", at)) != std::string::npos; ++at) ++upCount;
  EXPECT_EQ(upCount, 4u) << requests;
  EXPECT_NE(requests.find("|cookie=|token=" + controller.launchToken().value()), std::string::npos)
      << "probes carry the token header and no cookie";
  controller.stop();
}

TEST_F(ServerControllerTest, EveryWayOfEndingEarlyHasItsMessage) {
  struct Case {
    const char* conf;
    std::string_view message;
  } cases[] = {
      {"exit_status=3\nexit_after_ms=200\n", ServerController::newerDatabaseMessage},
      {"exit_status=1\nexit_after_ms=200\n", ServerController::stoppedWhileStartingMessage},
      {"exit_status=0\n", ServerController::stoppedWhileStartingMessage},
      {"die_signal=3\n", ServerController::stoppedWhileStartingMessage},
      {"die_signal=9\nexit_after_ms=200\n", ServerController::stoppedWhileStartingMessage},
  };
  for (const auto& c : cases) {
    configure(std::string(c.conf) + "ready_after_ms=5000\n");
    ServerController controller(settings, quick());
    EXPECT_EQ(messageOf(start(controller)), c.message) << c.conf;
    controller.stop();
  }
}

TEST_F(ServerControllerTest, NeverReadyGivesTheSixtySecondMessageAndKeepsTheChild) {
  configure("ready_after_ms=600000\n");
  ServerTimings timings = quick();
  timings.readinessDeadline = 1500ms;
  ServerController controller(settings, timings);
  auto begin = Clock::now();
  EXPECT_EQ(messageOf(start(controller)), ServerController::notReadyMessage);
  EXPECT_GE(Clock::now() - begin, 1500ms);
  pid_t pid = controller.serverPid();
  EXPECT_TRUE(test::processAlive(pid)) << "left running until stop()";
  controller.stop();
  EXPECT_FALSE(test::processAlive(pid));
}

TEST_F(ServerControllerTest, AChildIgnoringSigintIsKilledAfterTheGrace) {
  configure("ignore_sigint=1\n");
  ServerController controller(settings, quick());
  ASSERT_TRUE(start(controller).ok());
  pid_t pid = controller.serverPid();
  auto begin = Clock::now();
  controller.stop();
  auto took = Clock::now() - begin;
  EXPECT_GE(took, 1s);
  EXPECT_LT(took, 3s);
  EXPECT_FALSE(test::processAlive(pid));
}

TEST_F(ServerControllerTest, StopWithNothingLaunchedReturnsAtOnce) {
  ServerController controller(settings, quick());
  auto begin = Clock::now();
  controller.stop();
  EXPECT_LT(Clock::now() - begin, 100ms);
}

TEST_F(ServerControllerTest, AnyHttpAnswerOnThePortMeansTaken) {
  for (const char* statuses : {"200", "404", "500"}) {
    // Another program answers on the port.
    test::TempDir other;
    test::writeFile(other.path() + "/fake_server.conf", std::string("statuses=") + statuses + "\n");
    ProcessDescription d;
    d.executable = test::fakeServerPath();
    d.arguments = {"-b", "tcp://127.0.0.1:" + std::to_string(port)};
    d.workingDirectory = other.path();
    d.outputFile = other.path() + "/out.log";
    auto squatter = ChildProcess::launch(d).value();
    std::this_thread::sleep_for(300ms);

    configure("record=1\n");
    ServerController controller(settings, quick());
    EXPECT_EQ(messageOf(start(controller)),
              "Something else is already running on port " + std::to_string(port) + ". Quit it and relaunch.")
        << statuses;
    EXPECT_EQ(controller.serverPid(), 0);
    EXPECT_FALSE(test::exists(settings.appRoot + "/fake_server.record")) << "nothing launched";
    controller.stop();
    squatter->interrupt();
    squatter->waitUntilExit();
  }
}

TEST_F(ServerControllerTest, AListenerThatNeverAnswersHttpDoesNotCountAsTaken) {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  int one = 1;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<uint16_t>(port));
  ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  listen(fd, 16);

  configure("record=1\nexit_status=1\nexit_after_ms=100\n");
  ServerController controller(settings, quick());
  auto begin = Clock::now();
  EXPECT_EQ(messageOf(start(controller)), ServerController::stoppedWhileStartingMessage);
  EXPECT_GE(Clock::now() - begin, 900ms) << "the probe waited for its timeout";
  EXPECT_TRUE(test::exists(settings.appRoot + "/fake_server.record")) << "the launch went ahead";
  close(fd);
}

TEST_F(ServerControllerTest, AFileWhereTheDataFolderBelongsStopsAtTheFirstStep) {
  test::writeFile(home + "/Library/Application Support", "a plain file");
  configure("record=1\n");
  ServerController controller(settings, quick());
  std::string message = messageOf(start(controller));
  EXPECT_NE(message.find(settings.supportDir), std::string::npos) << message;
  EXPECT_FALSE(test::exists(settings.logDir)) << "nothing after the first step";
  EXPECT_FALSE(test::exists(settings.appRoot + "/fake_server.record"));
}

TEST_F(ServerControllerTest, ASecondControllerFindsTheFirstRunningAndTouchesNothing) {
  ServerController first(settings, quick());
  ASSERT_TRUE(start(first).ok());
  pid_t pid = first.serverPid();
  test::writeFile(settings.logFile, "first run's log\n");

  ServerController second(settings, quick());
  EXPECT_EQ(messageOf(start(second)), ServerController::alreadyRunningMessage);
  EXPECT_TRUE(test::processAlive(pid)) << "nothing signalled";
  EXPECT_EQ(test::readFile(settings.pidFile), std::to_string(pid) + "\n");
  EXPECT_EQ(test::readFile(settings.logFile), "first run's log\n");
  EXPECT_EQ(second.serverPid(), 0);
  first.stop();
}

TEST_F(ServerControllerTest, AStaleServerFromAnEarlierRunIsClearedFirst) {
  {
    ServerController earlier(settings, quick());
    ASSERT_TRUE(start(earlier).ok());
  }  // destroyed without stop(): its server keeps running, as after a crash
  pid_t stale = std::stoi(test::readFile(settings.pidFile));
  EXPECT_TRUE(test::processAlive(stale));

  ServerController controller(settings, quick());
  ASSERT_TRUE(start(controller).ok());
  EXPECT_FALSE(test::processAlive(stale));
  EXPECT_NE(controller.serverPid(), stale);
  controller.stop();
  waitpid(stale, nullptr, 0);  // it was this test's own grandchild-turned-child
}

TEST_F(ServerControllerTest, QuitDuringStartUpLeavesNoServer) {
  configure("record=1\nready_after_ms=600000\n");
  ServerController controller(settings, quick());
  bool delivered = false;
  controller.start([&](const Status&) { delivered = true; });
  ASSERT_TRUE(test::runMainLoopUntil([&] { return controller.serverPid() != 0; }, 10s));
  pid_t pid = controller.serverPid();
  controller.stop();
  EXPECT_FALSE(test::processAlive(pid));
  EXPECT_TRUE(test::runMainLoopUntil([&] { return delivered; }, 5s));
}

TEST_F(ServerControllerTest, DestroyingTheControllerDropsAPendingCompletion) {
  bool called = false;
  {
    ServerController controller(settings, quick());
    controller.start([&](const Status&) { called = true; });
    std::this_thread::sleep_for(200ms);
    controller.stop();
  }
  test::runMainLoopUntil([] { return false; }, 300ms);
  EXPECT_FALSE(called);
}

}  // namespace
}  // namespace quorvel
