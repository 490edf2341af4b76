#include "ui_support.h"

#include <signal.h>

#include <glib.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "common/glib_ptr.h"
#include "server/text_file.h"

namespace fs = std::filesystem;

namespace quorvel::ui {
namespace {

std::string firstLineWhere(const std::string& text, bool (*accept)(const std::string&)) {
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    if (accept(line)) return line;
  }
  return {};
}

std::shared_ptr<ChildProcess> launchOrThrow(const ProcessDescription& d) {
  auto child = ChildProcess::launch(d);
  if (!child) throw std::runtime_error(child.error().message());
  return child.value();
}

std::string infoPlist(int port, const std::string& extra) {
  return R"(<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict>
  <key>QuorvelPort</key><string>)" + std::to_string(port) + R"(</string>
  <key>CFBundleShortVersionString</key><string>1.0</string>
  <key>CFBundleVersion</key><string>1.0</string>
)" + extra + "</dict></plist>\n";
}

AppBundle bundleAround(const std::string& root, int port, const std::string& extraPlist) {
  AppBundle b;
  b.root = root;
  fs::path contents = fs::path(root) / "Quorvel.app/Contents";
  fs::create_directories(contents / "Linux");
  b.executable = (contents / "Linux/quorvel").string();
  fs::copy_file(QUORVEL_EXECUTABLE, b.executable, fs::copy_options::overwrite_existing);
  test::writeFile((contents / "Info.plist").string(), infoPlist(port, extraPlist));
  b.resources = (contents / "Resources").string();
  b.appRoot = b.resources + "/app";
  return b;
}

}  // namespace

std::string runProgram(const std::vector<std::string>& argv, const EnvironmentList& env) {
  std::vector<gchar*> args;
  for (const auto& a : argv) args.push_back(const_cast<gchar*>(a.c_str()));
  args.push_back(nullptr);
  std::vector<std::string> envStrings;
  for (const auto& [k, v] : env) envStrings.push_back(k + "=" + v);
  std::vector<gchar*> envp;
  for (auto& e : envStrings) envp.push_back(e.data());
  envp.push_back(nullptr);
  gchar* out = nullptr;
  g_spawn_sync(nullptr, args.data(), envp.data(), static_cast<GSpawnFlags>(G_SPAWN_SEARCH_PATH_FROM_ENVP | G_SPAWN_STDERR_TO_DEV_NULL),
               nullptr, nullptr, &out, nullptr, nullptr, nullptr);
  return trimWhitespace(takeString(out));
}

Desktop::Desktop() {
  ProcessDescription x;
  x.executable = "/usr/bin/Xvfb";
  x.arguments = {"-displayfd", "1", "-screen", "0", "1600x1000x24", "-nolisten", "tcp", "-noreset"};
  x.workingDirectory = dir_.path();
  x.environment = {{"PATH", "/usr/bin:/bin"}};
  x.outputFile = dir_.path() + "/xvfb.log";
  xvfb_ = launchOrThrow(x);
  auto digitsOnly = [](const std::string& l) {
    return !l.empty() && l.find_first_not_of("0123456789") == std::string::npos;
  };
  if (!eventually([&] { return !firstLineWhere(test::readFile(x.outputFile), digitsOnly).empty(); }, 20s)) {
    throw std::runtime_error("Xvfb did not start: " + test::readFile(x.outputFile));
  }
  display_ = ":" + firstLineWhere(test::readFile(x.outputFile), digitsOnly);

  ProcessDescription b;
  b.executable = "/usr/bin/dbus-daemon";
  b.arguments = {"--session", "--nofork", "--print-address=1"};
  b.workingDirectory = dir_.path();
  b.environment = {{"PATH", "/usr/bin:/bin"}, {"DISPLAY", display_}, {"HOME", dir_.path()}};
  b.outputFile = dir_.path() + "/bus.log";
  bus_ = launchOrThrow(b);
  auto address = [](const std::string& l) { return l.rfind("unix:", 0) == 0; };
  if (!eventually([&] { return !firstLineWhere(test::readFile(b.outputFile), address).empty(); }, 20s)) {
    throw std::runtime_error("no session bus: " + test::readFile(b.outputFile));
  }
  busAddress_ = firstLineWhere(test::readFile(b.outputFile), address);

  // A window manager, as on every desktop: title bars, dialogs centred on their
  // window, focus that follows activation.
  ProcessDescription wm;
  wm.executable = "/usr/bin/metacity";
  wm.workingDirectory = dir_.path();
  wm.environment = environment({{"HOME", dir_.path()}});
  wm.outputFile = dir_.path() + "/wm.log";
  wm_ = launchOrThrow(wm);
  if (!eventually([&] { return runProgram({"xprop", "-root", "_NET_SUPPORTING_WM_CHECK"}, environment())
                                    .find("window id") != std::string::npos; },
                  20s)) {
    throw std::runtime_error("no window manager: " + test::readFile(wm.outputFile));
  }
}

Desktop::~Desktop() {
  for (auto* p : {&wm_, &bus_, &xvfb_}) {
    if (!*p) continue;
    (*p)->sendSignal(SIGTERM);
    if (!(*p)->waitForExit(5s)) {
      (*p)->kill();
      (*p)->waitUntilExit();
    }
  }
}

EnvironmentList Desktop::environment(const Environment& extra) const {
  Environment env = processEnvironment();
  env.erase("WAYLAND_DISPLAY");
  env["DISPLAY"] = display_;
  env["DBUS_SESSION_BUS_ADDRESS"] = busAddress_;
  env["GTK_A11Y"] = "none";
  env["NO_AT_BRIDGE"] = "1";
  env["GSETTINGS_BACKEND"] = "memory";
  for (const auto& [k, v] : extra) env[k] = v;
  return EnvironmentList(env.begin(), env.end());
}

std::string Desktop::xdotool(const std::vector<std::string>& args) const {
  std::vector<std::string> argv{"xdotool"};
  argv.insert(argv.end(), args.begin(), args.end());
  return runProgram(argv, environment());
}

std::vector<std::string> Desktop::visibleWindows(pid_t pid) const {
  std::istringstream lines(xdotool({"search", "--onlyvisible", "--pid", std::to_string(pid), ""}));
  std::vector<std::string> windows;
  std::string line;
  while (std::getline(lines, line)) {
    if (!line.empty()) windows.push_back(line);
  }
  return windows;
}

void Desktop::press(const std::string& window, const std::string& keys) const {
  // Not --sync: xdotool can wait for many seconds when the window is already
  // active. Ask, then watch for it.
  xdotool({"windowactivate", window});
  eventually([&] { return xdotool({"getactivewindow"}) == window; }, 3s);
  std::this_thread::sleep_for(150ms);
  xdotool({"key", "--clearmodifiers", keys});
}

void Desktop::screenshot(const std::string& window, const std::string& path) const {
  fs::create_directories(fs::path(path).parent_path());
  runProgram({"import", "-window", window, path}, environment());
}

std::pair<int, int> Desktop::size(const std::string& window) const {
  std::istringstream lines(xdotool({"getwindowgeometry", "--shell", window}));
  std::string line;
  int width = 0, height = 0;
  while (std::getline(lines, line)) {
    if (line.rfind("WIDTH=", 0) == 0) width = std::stoi(line.substr(6));
    if (line.rfind("HEIGHT=", 0) == 0) height = std::stoi(line.substr(7));
  }
  return {width, height};
}

std::pair<double, double> Desktop::brightness(const std::string& png, int x, int y, int w, int h) {
  std::string geometry = std::to_string(w) + "x" + std::to_string(h) + "+" + std::to_string(x) + "+" +
                         std::to_string(y);
  std::istringstream out(runProgram({"convert", png, "-crop", geometry, "-colorspace", "Gray", "-format",
                                     "%[fx:mean] %[fx:standard_deviation]", "info:"},
                                    {{"PATH", "/usr/bin:/bin"}}));
  double mean = -1, spread = -1;
  out >> mean >> spread;
  return {mean, spread};
}

AppBundle AppBundle::fake(const std::string& root, int port, const std::string& conf, const std::string& extraPlist) {
  AppBundle b = bundleAround(root, port, extraPlist);
  test::makeBundle(root, test::fakeServerPath());
  test::writeFile(b.appRoot + "/fake_server.conf", conf);
  return b;
}

AppBundle AppBundle::sample(const std::string& root, int port) {
  AppBundle b = bundleAround(root, port, "");
  fs::copy(test::builtBundleResources(), b.resources, fs::copy_options::recursive);
  return b;
}

QuorvelRun::QuorvelRun(const Desktop& desktop, const AppBundle& bundle, const std::string& home,
                       const Environment& extra)
    : desktop_(desktop), home_(home) {
  static std::atomic<int> runs{0};
  fs::create_directories(home);
  logPath_ = home + "/quorvel-run-" + std::to_string(++runs) + ".log";
  Environment env = {{"QUORVEL_HOME", home},
                     {"HOME", home},
                     {"XDG_CONFIG_HOME", home + "/.config"},
                     {"XDG_DATA_HOME", home + "/.local/share"},
                     {"XDG_CACHE_HOME", home + "/.cache"},
                     {"G_MESSAGES_DEBUG", "Quorvel"}};
  for (const auto& [k, v] : extra) env[k] = v;
  ProcessDescription d;
  d.executable = bundle.executable;
  d.workingDirectory = home;
  d.environment = desktop.environment(env);
  d.outputFile = logPath_;
  process_ = launchOrThrow(d);
}

QuorvelRun::~QuorvelRun() {
  if (process_->isRunning()) {
    process_->sendSignal(SIGTERM);
    if (!process_->waitForExit(15s)) {
      process_->kill();
      process_->waitUntilExit();
    }
  }
}

std::string QuorvelRun::log() const { return test::readFile(logPath_); }

bool QuorvelRun::waitForLog(const std::string& text, std::chrono::milliseconds timeout) const {
  return eventually([&] { return log().find(text) != std::string::npos; }, timeout);
}

std::optional<int> QuorvelRun::waitForExit(std::chrono::milliseconds timeout) {
  if (!process_->waitForExit(timeout)) return std::nullopt;
  return process_->terminationReason() == ChildProcess::TerminationReason::Exit
             ? process_->terminationStatus()
             : 128 + process_->terminationStatus();
}

std::string QuorvelRun::mainWindow(std::chrono::milliseconds timeout) const {
  std::string id;
  eventually(
      [&] {
        id = desktop_.xdotool({"search", "--onlyvisible", "--pid", std::to_string(pid()), "--name", "^Quorvel$"});
        id = id.substr(0, id.find('\n'));
        return !id.empty();
      },
      timeout);
  return id;
}

std::string QuorvelRun::dialogWindow(std::chrono::milliseconds timeout) const {
  std::string main = mainWindow(1s);
  std::string found;
  eventually(
      [&] {
        for (const auto& w : desktop_.visibleWindows(pid())) {
          // GTK keeps tiny helper windows mapped too; a dialog has a real size.
          auto [width, height] = desktop_.size(w);
          if (w != main && width > 100 && height > 50) found = w;
        }
        return !found.empty();
      },
      timeout);
  return found;
}

std::vector<pid_t> serversRunningFrom(const std::string& resources) {
  std::vector<pid_t> pids;
  std::string interpreter = resources + "/ruby/bin/ruby";
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator("/proc", ec)) {
    std::string name = entry.path().filename().string();
    if (name.find_first_not_of("0123456789") != std::string::npos) continue;
    auto exe = fs::read_symlink(entry.path() / "exe", ec);
    pid_t pid = std::stoi(name);
    if (!ec && exe.string() == interpreter && test::processAlive(pid)) pids.push_back(pid);
  }
  return pids;
}

std::string artifactPath(const std::string& name) { return std::string(QUORVEL_UI_ARTIFACTS) + "/" + name; }

}  // namespace quorvel::ui
