// The application shell as a person uses it: the real executable on its own
// display, with the fake server or the real sample server behind it.

#include <signal.h>

#include <gtest/gtest.h>

#include <regex>
#include <thread>

#include "server/server_controller.h"
#include "ui_support.h"

namespace quorvel::ui {
namespace {

using Clock = std::chrono::steady_clock;

class ShellUi : public ::testing::Test {
 protected:
  test::TempDir dir;
  Desktop desktop;
  int port = test::freePort();
  std::string home = dir.path() + "/home";
  std::vector<std::string> resourcesUsed;

  AppBundle fake(const std::string& conf) {
    AppBundle b = AppBundle::fake(dir.path() + "/bundle", port, conf);
    resourcesUsed.push_back(b.resources);
    return b;
  }
  static std::string requests(const AppBundle& b) { return test::readFile(b.appRoot + "/fake_requests.log"); }
  static int pageLoads(const AppBundle& b) {
    std::string log = requests(b);
    int n = 0;
    for (size_t at = 0; (at = log.find("GET /|", at)) != std::string::npos; ++at) ++n;
    return n;
  }
  static std::string signalsSeen(const AppBundle& b) { return test::readFile(b.appRoot + "/fake_server.signals"); }

  void TearDown() override {
    for (const auto& resources : resourcesUsed) {
      for (pid_t pid : serversRunningFrom(resources)) ::kill(pid, SIGKILL);
    }
  }
};

TEST_F(ShellUi, SpinnerFirstThenThePageRequestedWithTheTokenCookie) {
  AppBundle bundle = fake("record=1\nready_after_ms=3000\n");
  QuorvelRun quorvel(desktop, bundle, home);
  std::string window = quorvel.mainWindow();
  ASSERT_FALSE(window.empty()) << quorvel.log();
  std::this_thread::sleep_for(500ms);
  std::string starting = artifactPath("starting.png");
  desktop.screenshot(window, starting);
  EXPECT_EQ(pageLoads(bundle), 0) << "no page before the server is up";
  auto [width, height] = desktop.size(window);
  auto [centreMean, centreSpread] = Desktop::brightness(starting, width / 2 - 24, height / 2 - 24, 48, 48);
  auto [cornerMean, cornerSpread] = Desktop::brightness(starting, 40, height - 140, 100, 100);
  EXPECT_GT(centreSpread, 0.05) << "a spinner in the middle";
  EXPECT_LT(cornerSpread, 0.01) << "nothing else on the empty background";
  (void)centreMean;
  (void)cornerMean;

  ASSERT_TRUE(quorvel.waitForLog("milestone: first page load finished")) << quorvel.log();
  std::smatch token;
  std::string record = test::readFile(bundle.appRoot + "/fake_server.record");
  ASSERT_TRUE(std::regex_search(record, token, std::regex("QUORVEL_LAUNCH_TOKEN=([0-9a-f]{64})")));
  std::string log = requests(bundle);
  std::string firstPage = log.substr(log.find("GET /|"));
  firstPage = firstPage.substr(0, firstPage.find('\n'));
  EXPECT_EQ(firstPage, "GET /|cookie=launch_token=" + token[1].str() + "|token=")
      << "the cookie, and no token header";

  desktop.press(window, "ctrl+q");
  EXPECT_EQ(quorvel.waitForExit(10s), 0);
}

TEST_F(ShellUi, StartFailuresShowOneAlertThenQuitLeavingNoServer) {
  struct Case {
    const char* name;
    const char* conf;
    std::string message;
    bool squatter;
  } cases[] = {
      {"port-taken", "record=1\n", ServerController::portTakenMessage(port), true},
      {"newer-database", "exit_status=3\nexit_after_ms=300\nready_after_ms=60000\n", std::string(ServerController::newerDatabaseMessage), false},
      {"server-stopped", "exit_status=1\nexit_after_ms=300\nready_after_ms=60000\n",
       std::string(ServerController::stoppedWhileStartingMessage), false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    test::TempDir other;
    std::shared_ptr<ChildProcess> squatter;
    if (c.squatter) {
      test::writeFile(other.path() + "/fake_server.conf", "");
      ProcessDescription d{test::fakeServerPath(), {"-b", "tcp://127.0.0.1:" + std::to_string(port)},
                           other.path(), {}, other.path() + "/out.log"};
      squatter = ChildProcess::launch(d).value();
      std::this_thread::sleep_for(300ms);
    }
    AppBundle bundle = AppBundle::fake(dir.path() + "/" + c.name, port, c.conf);
    resourcesUsed.push_back(bundle.resources);
    QuorvelRun quorvel(desktop, bundle, dir.path() + "/home-" + c.name);
    ASSERT_TRUE(quorvel.waitForLog("Quorvel couldn't start: " + c.message, 30s)) << quorvel.log();
    std::string dialog = quorvel.dialogWindow();
    ASSERT_FALSE(dialog.empty());
    std::string log = quorvel.log();
    EXPECT_EQ(log.find("couldn't start"), log.rfind("couldn't start")) << "exactly one alert";
    std::this_thread::sleep_for(1500ms);  // let it paint
    desktop.screenshot("root", artifactPath(std::string("alert-") + c.name + ".png"));
    EXPECT_EQ(pageLoads(bundle), 0);

    desktop.press(dialog, "Return");
    EXPECT_EQ(quorvel.waitForExit(10s), 0) << quorvel.log();
    EXPECT_TRUE(serversRunningFrom(bundle.resources).empty());
    if (c.squatter) {
      EXPECT_FALSE(test::exists(bundle.appRoot + "/fake_server.record")) << "nothing launched";
      squatter->interrupt();
      squatter->waitUntilExit();
    }
  }
}

TEST_F(ShellUi, ReloadCloseAndReopen) {
  AppBundle bundle = fake("");
  QuorvelRun quorvel(desktop, bundle, home);
  ASSERT_TRUE(quorvel.waitForLog("milestone: first page load finished")) << quorvel.log();
  std::string window = quorvel.mainWindow();
  EXPECT_EQ(pageLoads(bundle), 1);

  desktop.press(window, "ctrl+r");
  EXPECT_TRUE(eventually([&] { return pageLoads(bundle) == 2; }, 10s)) << requests(bundle);
  desktop.press(window, "F5");
  EXPECT_TRUE(eventually([&] { return pageLoads(bundle) == 3; }, 10s)) << requests(bundle);

  desktop.press(window, "ctrl+w");
  EXPECT_TRUE(eventually([&] { return quorvel.mainWindow(100ms).empty(); }, 10s)) << "the window hides";
  std::this_thread::sleep_for(500ms);
  EXPECT_FALSE(quorvel.waitForExit(0ms)) << "Quorvel keeps running";
  EXPECT_FALSE(serversRunningFrom(bundle.resources).empty()) << "and so does the server";

  // A second launch hands over to the running one, which shows its window again.
  QuorvelRun second(desktop, bundle, home);
  EXPECT_EQ(second.waitForExit(20s), 0) << second.log();
  EXPECT_EQ(quorvel.mainWindow(10s), window) << "the same window";
  EXPECT_EQ(pageLoads(bundle), 3) << "with the same page, not loaded again";

  desktop.press(window, "ctrl+q");
  EXPECT_EQ(quorvel.waitForExit(10s), 0);
  EXPECT_TRUE(serversRunningFrom(bundle.resources).empty());
}

TEST_F(ShellUi, QuitAndSigtermStopTheServerWithSigint) {
  for (bool bySignal : {false, true}) {
    SCOPED_TRACE(bySignal ? "SIGTERM" : "Ctrl+Q");
    AppBundle bundle = AppBundle::fake(dir.path() + (bySignal ? "/term" : "/keys"), port, "");
    resourcesUsed.push_back(bundle.resources);
    QuorvelRun quorvel(desktop, bundle, home);
    ASSERT_TRUE(quorvel.waitForLog("milestone: first page load finished")) << quorvel.log();
    if (bySignal) {
      quorvel.signal(SIGTERM);
    } else {
      desktop.press(quorvel.mainWindow(), "ctrl+q");
    }
    EXPECT_EQ(quorvel.waitForExit(10s), 0) << quorvel.log();
    EXPECT_EQ(signalsSeen(bundle), "INT\n");
    EXPECT_TRUE(serversRunningFrom(bundle.resources).empty());
    EXPECT_NE(quorvel.log().find("milestone: server stopped"), std::string::npos);
  }
}

TEST_F(ShellUi, AServerIgnoringSigintIsKilledAfterAboutFiveSeconds) {
  AppBundle bundle = fake("ignore_sigint=1\n");
  QuorvelRun quorvel(desktop, bundle, home);
  ASSERT_TRUE(quorvel.waitForLog("milestone: first page load finished")) << quorvel.log();
  auto begin = Clock::now();
  quorvel.signal(SIGTERM);
  EXPECT_EQ(quorvel.waitForExit(20s), 0);
  auto took = Clock::now() - begin;
  EXPECT_GE(took, 4500ms);
  EXPECT_LT(took, 10s);
  EXPECT_EQ(signalsSeen(bundle), "INT\n");
  EXPECT_TRUE(serversRunningFrom(bundle.resources).empty()) << "killed";
}

TEST_F(ShellUi, TheWindowComesBackAtItsSavedSize) {
  AppBundle bundle = fake("");
  std::pair<int, int> resized;
  {
    QuorvelRun quorvel(desktop, bundle, home);
    std::string window = quorvel.mainWindow();
    ASSERT_FALSE(window.empty());
    ASSERT_TRUE(quorvel.waitForLog("milestone: first page load finished")) << quorvel.log();
    // The X window also holds the title bar and shadow GTK draws around 1280 x 860.
    auto [width, height] = desktop.size(window);
    EXPECT_GE(width, 1280);
    EXPECT_GE(height, 860);
    resized = {width - 380, height - 220};
    desktop.xdotool({"windowsize", "--sync", window, std::to_string(resized.first), std::to_string(resized.second)});
    std::this_thread::sleep_for(500ms);
    desktop.press(window, "ctrl+q");
    ASSERT_EQ(quorvel.waitForExit(10s), 0);
  }
  std::string state = test::readFile(home + "/Library/Application Support/Quorvel/window-state");
  EXPECT_NE(state.find("width=900"), std::string::npos) << state;
  EXPECT_NE(state.find("height=640"), std::string::npos) << state;

  QuorvelRun again(desktop, bundle, home);
  std::string window = again.mainWindow();
  ASSERT_FALSE(window.empty());
  EXPECT_EQ(desktop.size(window), resized);
}

TEST_F(ShellUi, TheSampleApplicationOnRubyAndPuma) {
  AppBundle bundle = AppBundle::sample(dir.path() + "/sample", port);
  resourcesUsed.push_back(bundle.resources);
  QuorvelRun quorvel(desktop, bundle, home);
  ASSERT_TRUE(quorvel.waitForLog("milestone: first page load finished", 90s)) << quorvel.log();
  std::string window = quorvel.mainWindow();
  std::this_thread::sleep_for(2s);  // let it paint
  desktop.screenshot("root", artifactPath("sample-page.png"));

  std::string log = test::readFile(home + "/Library/Application Support/Quorvel/sample-requests.log");
  std::smatch probe, page;
  ASSERT_TRUE(std::regex_search(log, probe, std::regex(R"re("path":"/up".*"token_header":"([0-9a-f]{64})")re")))
      << log;
  ASSERT_TRUE(std::regex_search(
      log, page, std::regex(R"re("method":"GET","path":"/".*"launch_token":"([0-9a-f]{64})".*"token_header":null)re")))
      << log;
  EXPECT_EQ(page[1].str(), probe[1].str()) << "the page carries this run's token as its cookie";

  pid_t server = std::stoi(test::readFile(home + "/Library/Application Support/Quorvel/server.pid"));
  desktop.press(window, "ctrl+q");
  EXPECT_EQ(quorvel.waitForExit(10s), 0);
  EXPECT_FALSE(test::processAlive(server));
}

}  // namespace
}  // namespace quorvel::ui
