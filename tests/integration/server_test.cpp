// Server supervision end to end: the start work, the stop and the stale-server
// cleanup. The fake server stands in for Ruby, except in the last test, which runs
// the sample application on Ruby and Puma.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "server/server_controller.h"
#include "server/stale_cleanup.h"
#include "test_support.h"

namespace quorvel {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test::has;
using test::messageOf;
using test::secondsFor;

class ServerControllerTest : public test::ProcessTest {
 protected:
  int port = test::freePort();
  std::string home = dir.path() + "/home";
  LaunchSettings settings = test::settingsFor(test::makeBundle(dir.path(), test::fakeServerPath()), home, port);
  ServerTimings quick{3s, 250ms, 1s, 1s, 1s};

  void configure(const std::string& conf) { test::writeFile(settings.appRoot + "/fake_server.conf", conf); }
  std::string appFile(const std::string& name) { return test::readFile(settings.appRoot + "/" + name); }
  // The fake server started by hand from `program`, in a folder of its own.
  std::shared_ptr<ChildProcess> runByHand(const std::string& program, const std::string& conf,
                                          std::vector<std::string> args = {}) {
    test::writeFile(dir.path() + "/work/fake_server.conf", conf);
    auto child = ChildProcess::launch({program, std::move(args), dir.path() + "/work", {}, dir.path() + "/out.log"});
    std::this_thread::sleep_for(300ms);  // let it install its signal handlers and listen
    return child.value();
  }
  // Runs the stale cleanup on a PID file naming `pid`; how long it took.
  double cleanUp(pid_t pid, std::chrono::milliseconds wait = 5s) {
    test::writeFile(settings.pidFile, std::to_string(pid) + "\n");
    return secondsFor([&] { killStaleServer(settings.pidFile, wait); });
  }
  std::string start(const std::string& conf = "") {
    if (!conf.empty()) configure(conf);
    ServerController controller(settings, quick);
    return messageOf(test::startAndWait(controller));
  }
};

TEST_F(ServerControllerTest, PreparesLaunchesWaitsForThe200AndStopsPolitely) {
  test::writeFile(settings.logFile, "old log line\n");
  configure("ready_after_ms=300\nstatuses=503,503,401\n");
  ServerController controller(settings, {3s, 250ms, 1s, 5s, 1s});
  ASSERT_EQ(messageOf(test::startAndWait(controller)), "success");

  pid_t pid = controller.serverPid();
  const std::string token = controller.launchToken().value(), proc = "/proc/" + std::to_string(pid), nul(1, '\0');
  EXPECT_EQ(test::readFile(settings.pidFile), std::to_string(pid) + "\n");
  std::string environment = test::readFile(proc + "/environ"), output = test::readFile(proc + "/fdinfo/1");
  EXPECT_EQ(test::count(environment, nul), 14) << "nothing inherited";
  EXPECT_TRUE(has(environment, "QUORVEL_LAUNCH_TOKEN=" + token + nul));
  EXPECT_TRUE(has(environment, "SECRET_KEY_BASE=" + test::readFile(settings.supportDir + "/secret_key_base") + nul));
  EXPECT_TRUE(has(test::readFile(proc + "/cmdline"), "-b" + nul + "tcp://127.0.0.1:" + std::to_string(port) + nul));
  EXPECT_EQ(fs::read_symlink(proc + "/cwd"), settings.appRoot);
  EXPECT_TRUE(std::stoi(output.substr(output.find("flags:") + 6), nullptr, 8) & O_APPEND) << "output appended";
  std::string log = test::readFile(settings.logFile);
  EXPECT_TRUE(!has(log, "old log line") && has(log, "fake_server")) << "log re-created, then the server's output";
  EXPECT_EQ(test::count(appFile("fake_requests.log"), "GET /up|cookie=|token=" + token + "\n"), 4);

  EXPECT_LT(secondsFor([&] { controller.stop(); }), 4) << "a cooperative server is not waited for in full";
  EXPECT_TRUE(appFile("fake_server.signals") == "INT\n" && !test::processAlive(pid));
  controller.stop();  // an ended child: nothing to do
}

TEST_F(ServerControllerTest, EveryWayOfFailingHasItsMessage) {
  const std::string late = "ready_after_ms=5000\n", stopped(ServerController::stoppedWhileStartingMessage);
  EXPECT_EQ(start(late + "exit_status=3\nexit_after_ms=200\n"), ServerController::newerDatabaseMessage);
  for (const char* ending : {"exit_status=1\nexit_after_ms=200\n", "exit_status=0\n", "die_signal=3\n", "die_signal=9\n"}) {
    EXPECT_EQ(start(late + ending), stopped) << ending;
  }

  // A broken bundle: no app folder, an interpreter that is not executable, none at all.
  const auto noExec = fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec;
  const std::pair<std::function<void()>, std::string> breakages[] = {
      {[&] { fs::rename(settings.appRoot, dir.path() + "/gone"); }, "No such file"},
      {[&] { fs::permissions(settings.ruby, noExec, fs::perm_options::remove); }, "Permission denied"},
      {[&] { fs::remove(settings.ruby); }, "No such file"},
  };
  for (const auto& [breakBundle, reason] : breakages) {
    breakBundle();
    std::string message = start();
    EXPECT_TRUE(message.starts_with("Quorvel couldn't start the server program " + settings.ruby + ": " + reason))
        << message;
    if (test::exists(dir.path() + "/gone")) fs::rename(dir.path() + "/gone", settings.appRoot);
  }
}

TEST_F(ServerControllerTest, NeverReadyIsLeftRunningUntilStoppedAndThenKilledWithItsWorkerAfterTheGrace) {
  configure("ignore_sigint=1\nworker=1\nready_after_ms=600000\n");
  fs::create_directories(settings.logFile);  // a log that cannot be opened does not matter
  ServerController controller(settings, {1s, 250ms, 1s, 1s, 1s});
  EXPECT_GE(secondsFor([&] { EXPECT_EQ(messageOf(test::startAndWait(controller)), ServerController::notReadyMessage); }),
            1);
  pid_t pid = controller.serverPid();
  ASSERT_TRUE(test::runMainLoopUntil([&] { return !appFile("fake_worker.pid").empty(); }, 5s));
  pid_t worker = std::stoi(appFile("fake_worker.pid"));
  EXPECT_TRUE(test::processAlive(pid)) << "left running until stop()";
  double took = secondsFor([&] { controller.stop(); });
  EXPECT_TRUE(took >= 1 && took < 3) << took;
  EXPECT_FALSE(test::processAlive(pid));
  EXPECT_TRUE(test::runMainLoopUntil([&] { return !test::processAlive(worker); }, 2s)) << "the worker went too";
}

TEST_F(ServerControllerTest, AServerThatEndsAfterStartUpIsReapedAtOnceAndCanBeStartedAgain) {
  ServerController controller(settings, quick);
  std::optional<std::string> ended;
  controller.onEnded([&](const ServerEnd& end) { ended = end.describe(); });
  ASSERT_TRUE(test::startAndWait(controller).ok());
  pid_t first = controller.serverPid();
  ::kill(first, SIGKILL);
  ASSERT_TRUE(test::runMainLoopUntil([&] { return ended == "It was stopped by signal SIGKILL."; }, 5s)) << *ended;
  EXPECT_TRUE(test::readFile("/proc/" + std::to_string(first) + "/stat").empty()) << "reaped, no zombie";

  configure("exit_status=1\nexit_after_ms=1500\n");
  ASSERT_TRUE(test::startAndWait(controller).ok()) << "the same controller starts it again";
  EXPECT_NE(controller.serverPid(), first);
  ASSERT_TRUE(test::runMainLoopUntil([&] { return ended == "It exited with status 1."; }, 5s));
  controller.stop();
}

TEST_F(ServerControllerTest, AnyHttpAnswerOnThePortMeansTakenButASilentListenerDoesNot) {
  for (const char* status : {"200", "404", "500"}) {
    auto squatter = runByHand(test::fakeServerPath(), std::string("statuses=") + status + "\n",
                              {"-b", "tcp://127.0.0.1:" + std::to_string(port)});
    EXPECT_EQ(start(), "Something else is already running on port " + std::to_string(port) + ". Quit it and relaunch.");
    EXPECT_FALSE(test::exists(settings.pidFile)) << "nothing launched";
    squatter->interrupt();
    squatter->waitUntilExit();
  }
  int fd = test::loopbackSocket(port, true);
  double took = secondsFor([&] { EXPECT_EQ(start("exit_status=1\n"), ServerController::stoppedWhileStartingMessage); });
  EXPECT_TRUE(fd >= 0 && took >= 0.9) << "the probe waited for its timeout, then the launch went ahead";
  close(fd);
}

TEST_F(ServerControllerTest, AFileWhereTheDataFolderBelongsStopsAtTheFirstStep) {
  test::writeFile(home + "/Library/Application Support", "a plain file");
  EXPECT_TRUE(has(start(), settings.supportDir));
  EXPECT_FALSE(test::exists(settings.logDir)) << "nothing after the first step";
}

TEST_F(ServerControllerTest, ASecondControllerTouchesNothingAndAStaleServerIsClearedFirst) {
  pid_t stale = 0;
  {
    ServerController first(settings, quick);
    ASSERT_TRUE(test::startAndWait(first).ok());
    stale = first.serverPid();
    test::writeFile(settings.logFile, "first run's log\n");
    EXPECT_EQ(start(), ServerController::alreadyRunningMessage);
    EXPECT_EQ(test::readFile(settings.pidFile) + test::readFile(settings.logFile),
              std::to_string(stale) + "\nfirst run's log\n");
  }  // destroyed without stop(): the server keeps running, as after a crash
  EXPECT_TRUE(test::processAlive(stale)) << "nothing signalled";

  ServerController controller(settings, quick);
  ASSERT_TRUE(test::startAndWait(controller).ok());
  EXPECT_FALSE(test::processAlive(stale));
  controller.stop();
  waitpid(stale, nullptr, 0);  // it was this test's own child
}

TEST_F(ServerControllerTest, QuitDuringStartUpLeavesNoServerAndDropsTheCompletion) {
  configure("ready_after_ms=600000\n");
  ServerController idle(settings, quick);
  EXPECT_LT(secondsFor([&] { idle.stop(); }), 0.1) << "nothing launched: returns at once";
  bool called = false;
  {
    ServerController controller(settings, quick);
    controller.start([&](const Status&) { called = true; });
    ASSERT_TRUE(test::runMainLoopUntil([&] { return controller.serverPid() != 0; }, 10s));
    pid_t pid = controller.serverPid();
    controller.stop();
    EXPECT_TRUE(!test::processAlive(pid) && test::runMainLoopUntil([&] { return called; }, 5s));
    called = false;
    ServerController gone(settings, quick);
    gone.start([&](const Status&) { called = true; });
  }
  test::runMainLoopUntil([] { return false; }, 300ms);
  EXPECT_FALSE(called) << "a controller gone takes its completion with it";
}

TEST_F(ServerControllerTest, AStaleServerIsTerminatedAndWaitedForUpToTheLimitOrAQuit) {
  fs::create_directories(settings.supportDir);
  auto cooperative = runByHand(settings.ruby, "term_exit_ms=300\n");
  double took = cleanUp(cooperative->processIdentifier());
  EXPECT_TRUE(took >= 0.25 && took < 2) << "returns as soon as the server is gone: " << took;
  EXPECT_EQ(cooperative->terminationReason(), ChildProcess::TerminationReason::Exit);
  EXPECT_FALSE(test::exists(settings.pidFile));

  auto stubborn = runByHand(settings.ruby, "ignore_sigterm=1\n");
  EXPECT_GE(cleanUp(stubborn->processIdentifier(), 800ms), 0.75);
  EXPECT_TRUE(stubborn->isRunning() && !test::exists(settings.pidFile)) << "no stronger signal follows";
  test::writeFile(settings.pidFile, std::to_string(stubborn->processIdentifier()));
  ServerController quitting(settings, {3s, 250ms, 1s, 1s, 5s});
  bool delivered = false;
  quitting.start([&](const Status&) { delivered = true; });
  std::this_thread::sleep_for(300ms);
  EXPECT_LT(secondsFor([&] { quitting.stop(), test::runMainLoopUntil([&] { return delivered; }, 5s); }), 1)
      << "a quit during the wait ends it at once";
  stubborn->kill();
  stubborn->waitUntilExit();

  // An interpreter replaced since its server started (an update) is still a bundle's.
  auto updated = runByHand(settings.ruby, "");
  fs::remove(settings.ruby);
  fs::copy_file(test::fakeServerPath(), settings.ruby);
  cleanUp(updated->processIdentifier());
  EXPECT_TRUE(updated->waitForExit(2s));
}

TEST_F(ServerControllerTest, StaleCleanupLeavesOtherProgramsAndBadFilesAlone) {
  auto other = runByHand(test::fakeServerPath(), "");
  cleanUp(other->processIdentifier());
  EXPECT_TRUE(other->isRunning()) << "not a bundle's interpreter";
  other->interrupt();
  other->waitUntilExit();
  // Numbers that name no server only go; what is not one number stays.
  const std::pair<std::string, bool> stays[] = {{"0", false}, {"-1", false}, {"2147483647", false}, {"12ab", true},
                                                {"", true}, {"\xff\xfe", true}, {std::string(100000, '1'), true}};
  for (const auto& [text, kept] : stays) {
    test::writeFile(settings.pidFile, text);
    killStaleServer(settings.pidFile);
    EXPECT_EQ(test::exists(settings.pidFile), kept) << text.substr(0, 12);
  }
  fs::remove(settings.pidFile);
  killStaleServer(settings.pidFile);  // no file: nothing at all
}

TEST(SampleServer, StartsStopsAndRefusesANewerDatabaseOnRubyAndPuma) {
  test::TempDir dir;
  // A home whose path needs percent-encoding in DATABASE_URL.
  auto settings = test::settingsFor(test::builtBundleResources(), dir.path() + "/home 100% é", test::freePort());
  fs::create_directories(settings.supportDir);
  std::string newer = "ruby -rsqlite3 -e 'SQLite3::Database.new(ARGV[0]).execute(\"PRAGMA user_version = 2\")' '";
  ASSERT_EQ(system((newer + settings.databaseFile + "'").c_str()), 0);
  EXPECT_EQ(messageOf(test::startAndWait(*std::make_unique<ServerController>(settings), 90s)),
            ServerController::newerDatabaseMessage);
  fs::remove(settings.databaseFile);
  pid_t stale = 0;
  {
    ServerController crashed(settings);
    ASSERT_EQ(messageOf(test::startAndWait(crashed, 90s)), "success") << test::readFile(settings.logFile);
    stale = crashed.serverPid();
    EXPECT_EQ(std::stoi(test::readFile(settings.pidFile)), stale) << "Puma writes the interpreter's own PID";
    EXPECT_TRUE(fs::read_symlink("/proc/" + std::to_string(stale) + "/exe").string().ends_with(kServerExecutableSuffix));
    EXPECT_TRUE(test::exists(settings.databaseFile)) << "the server made its database at the decoded path";
  }  // left running, as after a crash: the next start's stale cleanup ends it with SIGTERM
  int stalled = test::loopbackSocket(static_cast<int>(settings.port), false);
  ASSERT_GT(write(stalled, "GET / HTTP/1.1\r\n", 16), 0);  // a request in flight does not hold it up
  ServerController controller(settings);
  ASSERT_EQ(messageOf(test::startAndWait(controller, 90s)), "success");
  EXPECT_FALSE(test::processAlive(stale));
  waitpid(stale, nullptr, 0);
  EXPECT_TRUE(has(test::readFile(settings.supportDir + "/sample-requests.log"), "\"path\":\"/up\""));
  EXPECT_LT(secondsFor([&] { controller.stop(); }), 5) << "Puma ends on SIGINT without being killed";
  close(stalled);
}

}  // namespace
}  // namespace quorvel
