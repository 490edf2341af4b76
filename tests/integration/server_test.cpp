// Server supervision end to end: the start work, the stop and the stale-server
// cleanup. The fake server stands in for Ruby, except in the last test, which runs
// the sample application on Ruby and Puma.

#include <fcntl.h>
#include <gio/gio.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <thread>

#include "server/http_probe.h"
#include "server/server_controller.h"
#include "server/stale_cleanup.h"
#include "test_support.h"

namespace quorvel {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using namespace test;

// A TCP port that was free a moment ago.
int freePort() {
  auto listener = GRef<GSocketListener>::adopt(g_socket_listener_new());
  return g_socket_listener_add_any_inet_port(listener.get(), nullptr, nullptr);
}

// Launch settings for a bundle's resources with `home` as base directory, on a free port.
LaunchSettings settingsFor(const std::string& resources, const std::string& home) {
  LaunchInputs in = inputsWith({{"QUORVEL_HOME", home}, {"USER", "tester"}});
  in.info["QuorvelPort"] = std::to_string(freePort());
  in.resourcePath = resources;
  return computeLaunchSettings(in).value();
}

// A zombie counts as gone.
bool processAlive(pid_t pid) {
  const std::string stat = readFile("/proc/" + std::to_string(pid) + "/stat");  // "PID (name) STATE ..."
  return !stat.empty() && stat[stat.rfind(") ") + 2] != 'Z';
}

// Runs the default main context until `done` holds or `timeout` passes.
bool runMainLoopUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  for (auto deadline = std::chrono::steady_clock::now() + timeout; !done();) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    if (!g_main_context_iteration(nullptr, FALSE)) std::this_thread::sleep_for(10ms);
  }
  return true;
}

// Starts the controller and runs the main loop until its one completion arrives
// (on the main thread, exactly once: checked); "success" or the error's sentence.
std::string startAndWait(ServerController& controller, std::chrono::milliseconds timeout = 20s) {
  std::optional<Status> result;
  controller.start([&, mainThread = std::this_thread::get_id()](const Status& status) {
    EXPECT_FALSE(result) << "exactly one completion";
    EXPECT_EQ(std::this_thread::get_id(), mainThread) << "completion on the main thread";
    result = status;
  });
  EXPECT_TRUE(runMainLoopUntil([&] { return result.has_value(); }, timeout));
  runMainLoopUntil([] { return false; }, 100ms);
  return !result ? "no completion" : result->ok() ? "success" : result->error().message();
}

double secondsFor(const std::function<void()>& action) {
  auto begin = std::chrono::steady_clock::now();
  action();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
}

class ServerControllerTest : public ::testing::Test {
 protected:
  TempDir dir;
  LaunchSettings settings = settingsFor(makeBundle(), dir.path() + "/home");
  ServerTimings quick{3s, 250ms, 1s, 1s, 1s};

  // The fake server as a bundle's interpreter; the bundle's Resources folder.
  std::string makeBundle() {
    const fs::path resources = dir.path() + "/Quorvel.app/Contents/Resources";
    fs::create_directories(resources / "ruby/bin");
    fs::create_directories(resources / "app");
    fs::copy_file(FAKE_SERVER_PATH, resources / "ruby/bin/ruby");
    return resources;
  }
  void TearDown() override { EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1) << "a zombie was left"; }
  void configure(const std::string& conf) { writeFile(settings.appRoot + "/fake_server.conf", conf); }
  std::string appFile(const std::string& name) { return readFile(settings.appRoot + "/" + name); }
  // The fake server started by hand from `program`, in a folder of its own.
  auto runByHand(const std::string& program, const std::string& conf, std::vector<std::string> args = {}) {
    writeFile(dir.path() + "/work/fake_server.conf", conf);
    auto child = ChildProcess::launch({program, std::move(args), dir.path() + "/work", {}, dir.path() + "/out.log"});
    const std::string ready = "fake_server " + std::to_string(child.value()->processIdentifier()) + " ready\n";
    EXPECT_TRUE(runMainLoopUntil([&] { return has(readFile(dir.path() + "/out.log"), ready); }, 5s));
    return child.value();
  }
  // Runs the stale cleanup on a PID file naming `pid`; how long it took.
  double cleanUp(pid_t pid, std::chrono::milliseconds wait = 5s) {
    writeFile(settings.pidFile, std::to_string(pid) + "\n");
    return secondsFor([&] { killStaleServer(settings.pidFile, wait); });
  }
  std::string start(const std::string& conf = "") {
    if (!conf.empty()) configure(conf);
    return startAndWait(*std::make_unique<ServerController>(settings, quick));
  }
};

TEST_F(ServerControllerTest, PreparesLaunchesWaitsForThe200AndStopsPolitely) {
  writeFile(settings.logFile, "old log line\n");
  configure("ready_after_ms=300\nstatuses=503,503,401\n");
  ServerController controller(settings, {3s, 250ms, 1s, 5s, 1s});
  ASSERT_EQ(startAndWait(controller), "success");

  pid_t pid = controller.serverPid();
  const std::string token = controller.launchToken().value(), proc = "/proc/" + std::to_string(pid), nul(1, '\0');
  EXPECT_EQ(readFile(settings.pidFile), std::to_string(pid) + "\n");
  std::string environment = readFile(proc + "/environ"), output = readFile(proc + "/fdinfo/1");
  EXPECT_EQ(std::ranges::count(environment, '\0'), 14) << "nothing inherited";
  EXPECT_TRUE(has(environment, "QUORVEL_LAUNCH_TOKEN=" + token + nul));
  EXPECT_TRUE(has(environment, "SECRET_KEY_BASE=" + readFile(settings.supportDir + "/secret_key_base") + nul));
  EXPECT_TRUE(has(readFile(proc + "/cmdline"), "-b" + nul + "tcp://127.0.0.1:" + std::to_string(settings.port) + nul));
  EXPECT_EQ(fs::read_symlink(proc + "/cwd"), settings.appRoot);
  EXPECT_TRUE(std::stoi(output.substr(output.find("flags:") + 6), nullptr, 8) & O_APPEND) << "output appended";
  std::string log = readFile(settings.logFile);
  EXPECT_TRUE(!has(log, "old log line") && has(log, "fake_server")) << "log re-created, then the server's output";
  const std::string probe = "GET /up|cookie=|token=" + token + "\n";
  EXPECT_EQ(appFile("fake_requests.log"), probe + probe + probe + probe) << "503, 503, 401, then the 200";

  EXPECT_LT(secondsFor([&] { controller.stop(); }), 4) << "a cooperative server is not waited for in full";
  EXPECT_TRUE(appFile("fake_server.signals") == "INT\n" && !processAlive(pid));
  controller.stop();  // an ended child: nothing to do
}

TEST_F(ServerControllerTest, AServerThatStartsListeningIsProbedWhenItSaysSoNotAfterThePause) {
  configure("ready_after_ms=300\n");
  ServerController controller(settings, {30s, 20s, 1s, 1s, 1s});
  EXPECT_LT(secondsFor([&] { EXPECT_EQ(startAndWait(controller, 25s), "success"); }), 10);
  controller.stop();
}

TEST_F(ServerControllerTest, EveryWayOfFailingHasItsMessage) {
  writeFile(settings.home + "/Library/Application Support", "a file where the data folder belongs");
  EXPECT_TRUE(has(start(), settings.supportDir) && !exists(settings.logDir)) << "nothing after the first step";
  fs::remove(settings.home + "/Library/Application Support");
  const std::string late = "ready_after_ms=5000\nexit_after_ms=";
  EXPECT_EQ(start(late + "200\nexit_status=3\n"), ServerController::newerDatabaseMessage);
  for (const char* ending : {"200\nexit_status=1\n", "0\nexit_status=0\n", "0\ndie_signal=3\n", "0\ndie_signal=9\n"})
    EXPECT_EQ(start(late + ending), ServerController::stoppedWhileStartingMessage) << ending;

  // A broken bundle: no app folder, an interpreter that is not executable, none at all.
  const std::pair<std::function<void()>, std::string> breakages[] = {
      {[&] { fs::rename(settings.appRoot, dir.path() + "/gone"); }, "No such file"},
      {[&] { fs::permissions(settings.ruby, fs::perms::owner_read); }, "Permission denied"},
      {[&] { fs::remove(settings.ruby); }, "No such file"},
  };
  for (const auto& [breakBundle, reason] : breakages) {
    breakBundle();
    const std::string expected = "Quorvel couldn't start the server program " + settings.ruby + ": " + reason;
    EXPECT_EQ(start().substr(0, expected.size()), expected);
    if (exists(dir.path() + "/gone")) fs::rename(dir.path() + "/gone", settings.appRoot);
  }
}

TEST_F(ServerControllerTest, NeverReadyIsLeftRunningUntilStoppedAndThenKilledWithItsWorkerAfterTheGrace) {
  configure("ignore_sigint=1\nworker=1\nready_after_ms=600000\n");
  fs::create_directories(settings.logFile);  // a log that cannot be opened does not matter
  ServerController controller(settings, {1s, 250ms, 1s, 1s, 1s});
  EXPECT_GE(secondsFor([&] { EXPECT_EQ(startAndWait(controller), ServerController::notReadyMessage); }), 1);
  pid_t pid = controller.serverPid();
  ASSERT_TRUE(runMainLoopUntil([&] { return !appFile("fake_worker.pid").empty(); }, 5s));
  pid_t worker = std::stoi(appFile("fake_worker.pid"));
  EXPECT_TRUE(processAlive(pid)) << "left running until stop()";
  double took = secondsFor([&] { controller.stop(); });
  EXPECT_TRUE(took >= 1 && took < 3) << took;
  EXPECT_FALSE(processAlive(pid));
  EXPECT_TRUE(runMainLoopUntil([&] { return !processAlive(worker); }, 2s)) << "the worker went too";
}

TEST_F(ServerControllerTest, AServerThatEndsAfterStartUpIsReapedAtOnceAndCanBeStartedAgain) {
  ServerController controller(settings, quick);
  std::optional<std::string> ended;
  controller.onEnded([&](const ServerEnd& end) { ended = end.describe(); });
  ASSERT_EQ(startAndWait(controller), "success");
  pid_t first = controller.serverPid();
  ::kill(first, SIGKILL);
  ASSERT_TRUE(runMainLoopUntil([&] { return ended == "It was stopped by signal SIGKILL."; }, 5s)) << ended.value_or("");
  EXPECT_TRUE(readFile("/proc/" + std::to_string(first) + "/stat").empty()) << "reaped, no zombie";

  configure("exit_status=1\nexit_after_ms=1500\n");
  ASSERT_EQ(startAndWait(controller), "success") << "the same controller starts it again";
  EXPECT_NE(controller.serverPid(), first);
  // The ended run's output is kept, then a line saying a new run begins.
  EXPECT_TRUE(has(readFile(settings.logFile), std::to_string(first) + " ready\n--- Quorvel restarted the server at "));
  ASSERT_TRUE(runMainLoopUntil([&] { return ended == "It exited with status 1."; }, 5s));
  controller.stop();
}

TEST_F(ServerControllerTest, AnyHttpAnswerOnThePortMeansTakenButASilentListenerDoesNot) {
  const std::string port = std::to_string(settings.port);
  for (const char* statuses : {"statuses=200\n", "statuses=404\n", "statuses=500\n"}) {
    auto squatter = runByHand(FAKE_SERVER_PATH, statuses, {"-b", "tcp://127.0.0.1:" + port});
    EXPECT_EQ(start(), "Something else is already running on port " + port + ". Quit it and relaunch.");
    EXPECT_FALSE(exists(settings.pidFile)) << "nothing launched";
    squatter->interrupt();
    squatter->waitUntilExit();
  }
  auto silent = GRef<GSocketListener>::adopt(g_socket_listener_new());
  ASSERT_TRUE(g_socket_listener_add_inet_port(silent.get(), static_cast<guint16>(settings.port), nullptr, nullptr));
  configure("exit_status=1\n");
  EXPECT_GE(secondsFor([&] { EXPECT_EQ(start(), ServerController::stoppedWhileStartingMessage); }), 0.9)
      << "the probe waited for its timeout, then the launch went ahead";
}

TEST_F(ServerControllerTest, ASecondControllerTouchesNothingAndADestroyedOneLeavesItsServerRunning) {
  auto first = std::make_unique<ServerController>(settings, quick);
  ASSERT_EQ(startAndWait(*first), "success");
  const pid_t pid = first->serverPid();
  writeFile(settings.logFile, "first run's log\n");
  EXPECT_EQ(start(), ServerController::alreadyRunningMessage);
  EXPECT_EQ(readFile(settings.pidFile) + readFile(settings.logFile), std::to_string(pid) + "\nfirst run's log\n");
  first.reset();  // as after a crash
  // Answering a request after the signals it would have got, it has handled them.
  EXPECT_EQ(HttpProbe().status({settings.baseURL + "up"}), 200);
  EXPECT_TRUE(processAlive(pid) && appFile("fake_server.signals").empty()) << "nothing signalled";
  ::kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
}

TEST_F(ServerControllerTest, QuitDuringStartUpLeavesNoServerAndDropsTheCompletion) {
  configure("ready_after_ms=600000\n");
  EXPECT_LT(secondsFor([&] { ServerController(settings, quick).stop(); }), 0.1) << "nothing launched: returns at once";
  bool called = false;
  ServerController controller(settings, quick);
  controller.start([&](const Status&) { called = true; });
  ASSERT_TRUE(runMainLoopUntil([&] { return controller.serverPid() != 0; }, 10s));
  pid_t pid = controller.serverPid();
  controller.stop();
  EXPECT_TRUE(!processAlive(pid) && runMainLoopUntil([&] { return called; }, 5s));
  called = false;
  ServerController(settings, quick).start([&](const Status&) { called = true; });  // and at once destroyed
  while (g_main_context_iteration(nullptr, FALSE)) {}  // its work was joined: a completion is queued by now
  EXPECT_FALSE(called) << "a controller gone takes its completion with it";
}

TEST_F(ServerControllerTest, AStaleServerIsTerminatedAndWaitedForUpToTheLimitOrAQuit) {
  auto cooperative = runByHand(settings.ruby, "term_exit_ms=300\n");
  double took = cleanUp(cooperative->processIdentifier());
  EXPECT_TRUE(took >= 0.25 && took < 2) << "returns as soon as the server is gone: " << took;
  EXPECT_EQ(cooperative->terminationReason(), ChildProcess::TerminationReason::Exit);
  EXPECT_FALSE(exists(settings.pidFile));

  auto stubborn = runByHand(settings.ruby, "ignore_sigterm=1\n");
  EXPECT_GE(cleanUp(stubborn->processIdentifier(), 800ms), 0.75);
  EXPECT_TRUE(stubborn->isRunning() && !exists(settings.pidFile)) << "no stronger signal follows";
  writeFile(settings.pidFile, std::to_string(stubborn->processIdentifier()));
  ServerController quitting(settings, {3s, 250ms, 1s, 1s, 5s});
  bool delivered = false;
  const std::string signals = dir.path() + "/work/fake_server.signals", before = readFile(signals);
  quitting.start([&](const Status&) { delivered = true; });
  EXPECT_TRUE(runMainLoopUntil([&] { return readFile(signals) != before; }, 5s)) << "the start work waits for it";
  EXPECT_LT(secondsFor([&] { quitting.stop(), runMainLoopUntil([&] { return delivered; }, 5s); }), 1)
      << "a quit during the wait ends it at once";
  stubborn->kill();
  stubborn->waitUntilExit();

  // An interpreter replaced since its server started (an update) is still a bundle's.
  auto updated = runByHand(settings.ruby, "");
  fs::remove(settings.ruby);
  fs::copy_file(FAKE_SERVER_PATH, settings.ruby);
  cleanUp(updated->processIdentifier());
  EXPECT_TRUE(updated->waitForExit(2s));
}

TEST_F(ServerControllerTest, StaleCleanupLeavesOtherProgramsAndBadFilesAlone) {
  auto other = runByHand(FAKE_SERVER_PATH, "");
  cleanUp(other->processIdentifier());
  EXPECT_TRUE(other->isRunning()) << "not a bundle's interpreter";
  other->interrupt();
  other->waitUntilExit();
  // Numbers that name no server only go; what is not one number stays.
  const std::pair<std::string, bool> stays[] = {{"0", false}, {"-1", false}, {"2147483647", false}, {"12ab", true},
                                                {"", true}, {"\xff\xfe", true}, {std::string(100000, '1'), true}};
  for (const auto& [text, kept] : stays) {
    writeFile(settings.pidFile, text);
    killStaleServer(settings.pidFile);
    EXPECT_EQ(exists(settings.pidFile), kept) << text.substr(0, 12);
  }
  fs::remove(settings.pidFile);
  killStaleServer(settings.pidFile);  // no file: nothing at all
}

TEST(SampleServer, StartsStopsAndRefusesANewerDatabaseOnRubyAndPuma) {
  TempDir dir;
  // A home whose path needs percent-encoding in DATABASE_URL.
  auto settings = settingsFor(QUORVEL_BUNDLE_RESOURCES, dir.path() + "/home 100% é");
  fs::create_directories(settings.supportDir);
  std::string newer = "ruby -rsqlite3 -e 'SQLite3::Database.new(ARGV[0]).execute(\"PRAGMA user_version = 2\")' '";
  ASSERT_EQ(system((newer + settings.databaseFile + "'").c_str()), 0);
  EXPECT_EQ(startAndWait(*std::make_unique<ServerController>(settings), 90s), ServerController::newerDatabaseMessage);
  fs::remove(settings.databaseFile);
  pid_t stale = 0;
  {
    ServerController crashed(settings);
    ASSERT_EQ(startAndWait(crashed, 90s), "success") << readFile(settings.logFile);
    stale = crashed.serverPid();
    EXPECT_EQ(std::stoi(readFile(settings.pidFile)), stale) << "Puma writes the interpreter's own PID";
    EXPECT_TRUE(fs::read_symlink("/proc/" + std::to_string(stale) + "/exe").string().ends_with(kServerExecutableSuffix));
    EXPECT_TRUE(exists(settings.databaseFile)) << "the server made its database at the decoded path";
  }  // left running, as after a crash: the next start's stale cleanup ends it with SIGTERM
  // A request in flight does not hold it up.
  auto client = GRef<GSocketClient>::adopt(g_socket_client_new());
  auto stalled = GRef<GSocketConnection>::adopt(
      g_socket_client_connect_to_uri(client.get(), settings.baseURL.c_str(), 0, nullptr, nullptr));
  ASSERT_TRUE(stalled) << "the left server still listens";
  ASSERT_GT(g_socket_send(g_socket_connection_get_socket(stalled.get()), "GET / HTTP/1.1\r\n", 16, nullptr, nullptr),
            0);
  ServerController controller(settings);
  ASSERT_EQ(startAndWait(controller, 90s), "success");
  EXPECT_FALSE(processAlive(stale));
  waitpid(stale, nullptr, 0);
  EXPECT_TRUE(has(readFile(settings.supportDir + "/sample-requests.log"), "\"path\":\"/up\""));
  EXPECT_LT(secondsFor([&] { controller.stop(); }), 5) << "Puma ends on SIGINT without being killed";
}

}  // namespace
}  // namespace quorvel
