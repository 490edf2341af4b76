#pragma once
// Shared pieces for tests: temporary folders, free ports, temporary bundles around
// the fake server, and running the main loop until a completion arrives.

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>

#include "app/launch_settings.h"
#include "server/app_error.h"

namespace quorvel {
class ServerController;
}

namespace quorvel::test {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& contents);
bool exists(const std::string& path);

// A TCP port on 127.0.0.1 that was free a moment ago.
int freePort();

// Path of a helper program built next to the tests.
std::string fakeServerPath();

// Copies `program` to <root>/Quorvel.app/Contents/Resources/ruby/bin/ruby and makes
// Resources/app; returns the Resources path.
std::string makeBundle(const std::string& root, const std::string& program);

// Launch settings for a bundle's resources with `home` as base directory.
LaunchSettings settingsFor(const std::string& resources, const std::string& home, int port);

bool iterateMainLoopOnce(std::chrono::milliseconds maxWait);

// Starts the controller and runs the main loop until its one completion arrives
// (on the main thread, exactly once: checked).
Status startAndWait(ServerController& controller, std::chrono::milliseconds timeout);

// The Resources folder of the bundle this build assembled.
std::string builtBundleResources();

// True if a process with this PID exists (a zombie counts as gone).
bool processAlive(pid_t pid);

// Runs the default main context until `done` holds or `timeout` passes.
template <typename Predicate>
bool runMainLoopUntil(Predicate done, std::chrono::milliseconds timeout) {
  auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!done()) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    iterateMainLoopOnce(std::min(left, std::chrono::milliseconds(50)));
  }
  return true;
}

}  // namespace quorvel::test
