#pragma once
// UI tests run the real Quorvel executable on a display of their own (Xvfb) with a
// session bus of their own, act through the keyboard (xdotool) and signals, and
// observe what a person or the server would: windows, screenshots, files, the
// server's request log, the process table and Quorvel's start-up log.

#include <sys/types.h>

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "app/launch_settings.h"
#include "server/child_process.h"
#include "test_support.h"

namespace quorvel::ui {

using namespace std::chrono_literals;

// Runs a program to its end; its standard output, trimmed.
std::string runProgram(const std::vector<std::string>& argv, const EnvironmentList& env);

class Desktop {
 public:
  Desktop();
  ~Desktop();
  Desktop(const Desktop&) = delete;
  Desktop& operator=(const Desktop&) = delete;

  // This process's environment pointed at the display and bus, plus `extra`.
  EnvironmentList environment(const Environment& extra = {}) const;

  std::string xdotool(const std::vector<std::string>& args) const;
  std::vector<std::string> visibleWindows(pid_t pid) const;
  // Gives `window` the keyboard focus, then types `keys` (xdotool syntax).
  void press(const std::string& window, const std::string& keys) const;
  void screenshot(const std::string& window, const std::string& path) const;
  std::pair<int, int> size(const std::string& window) const;
  // Mean brightness (0..1) and its spread over a rectangle of a screenshot.
  static std::pair<double, double> brightness(const std::string& png, int x, int y, int w, int h);

 private:
  test::TempDir dir_;
  std::shared_ptr<ChildProcess> xvfb_;
  std::shared_ptr<ChildProcess> bus_;
  std::shared_ptr<ChildProcess> wm_;
  std::string display_;
  std::string busAddress_;
};

// A temporary Quorvel.app around the built executable.
struct AppBundle {
  std::string root;       // the folder holding Quorvel.app
  std::string executable;
  std::string resources;
  std::string appRoot;

  // The fake server as interpreter; `conf` goes to its fake_server.conf.
  static AppBundle fake(const std::string& root, int port, const std::string& conf,
                        const std::string& extraPlist = "");
  // The sample application and Ruby, as the build assembled them.
  static AppBundle sample(const std::string& root, int port);
};

class QuorvelRun {
 public:
  QuorvelRun(const Desktop& desktop, const AppBundle& bundle, const std::string& home,
             const Environment& extra = {});
  // Ends Quorvel and any server it left, whatever the test did.
  ~QuorvelRun();
  QuorvelRun(const QuorvelRun&) = delete;
  QuorvelRun& operator=(const QuorvelRun&) = delete;

  pid_t pid() const { return process_->processIdentifier(); }
  std::string log() const;
  bool waitForLog(const std::string& text, std::chrono::milliseconds timeout = 60s) const;
  // The exit status, or nothing if still running after `timeout`.
  std::optional<int> waitForExit(std::chrono::milliseconds timeout);
  std::string mainWindow(std::chrono::milliseconds timeout = 20s) const;
  // A visible window of this process other than the main one (a dialog).
  std::string dialogWindow(std::chrono::milliseconds timeout = 10s) const;
  void signal(int signal) { process_->sendSignal(signal); }

 private:
  const Desktop& desktop_;
  std::string home_;
  std::string logPath_;
  std::shared_ptr<ChildProcess> process_;
};

// Polls `condition` every 100 ms until it holds or `timeout` passes.
template <typename Condition>
bool eventually(Condition condition, std::chrono::milliseconds timeout) {
  auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    if (condition()) return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(100ms);
  }
}

// Processes running the interpreter copy of `resources` (servers left behind).
std::vector<pid_t> serversRunningFrom(const std::string& resources);

// Where screenshots are kept for a person to look at.
std::string artifactPath(const std::string& name);

}  // namespace quorvel::ui
