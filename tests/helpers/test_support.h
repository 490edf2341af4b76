#pragma once
// Shared pieces for tests: temporary folders, files, free ports, temporary bundles
// around the fake server, and the main loop.

#include <gtest/gtest.h>
#include <sys/types.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>

#include "base/app_error.h"
#include "base/glib_ptr.h"
#include "launch/launch_settings.h"

namespace quorvel {
class ServerController;
}

namespace quorvel::test {

using namespace std::chrono_literals;

// A folder of its own, removed with everything in it at the end.
struct TempDir {
  TempDir();
  ~TempDir();
  const std::string& path() const { return path_; }
  std::string path_;
};

std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& contents);
bool exists(const std::string& path);
inline bool has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }
// How often `needle` occurs in `text`.
int count(const std::string& text, const std::string& needle);

// A TCP port on 127.0.0.1 that was free a moment ago.
int freePort();
// A socket listening on, or connected to, 127.0.0.1:port; -1 on failure.
int loopbackSocket(int port, bool listening);

std::string fakeServerPath();
// The Resources folder of the bundle this build assembled.
std::string builtBundleResources();

// Copies `program` to <root>/Quorvel.app/Contents/Resources/ruby/bin/ruby and makes
// Resources/app; returns the Resources path.
std::string makeBundle(const std::string& root, const std::string& program);

// Launch inputs for a bundle at /A/Resources, the account's home /home/account and
// the current directory /work/cwd.
LaunchInputs inputsWith(Environment environment);
// Launch settings for a bundle's resources with `home` as base directory.
LaunchSettings settingsFor(const std::string& resources, const std::string& home, int port);

// True if a process with this PID exists (a zombie counts as gone).
bool processAlive(pid_t pid);

// Runs the default main context until `done` holds or `timeout` passes.
bool runMainLoopUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);

// Starts the controller and runs the main loop until its one completion arrives
// (on the main thread, exactly once: checked).
Status startAndWait(ServerController& controller, std::chrono::milliseconds timeout = 20s);

// "success" or the error's sentence.
std::string messageOf(const Status& status);

double secondsFor(const std::function<void()>& action);

// A test that makes child processes: each must be reaped by the end.
class ProcessTest : public ::testing::Test {
 protected:
  TempDir dir;
  void TearDown() override;
};

}  // namespace quorvel::test
