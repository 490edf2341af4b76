#include "server/stale_cleanup.h"

#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <climits>

#include "base/text_file.h"
#include "base/unique_fd.h"
#include "server/pidfd.h"

namespace quorvel {
namespace {

// Generous for a number with white space around it; anything bigger is not a PID file.
constexpr std::size_t kMaxPidFileBytes = 4096;

std::string executableOf(pid_t pid) {
  char buffer[4096] = {};
  std::string link = "/proc/" + std::to_string(pid) + "/exe";
  ssize_t n = readlink(link.c_str(), buffer, sizeof buffer - 1);
  if (n <= 0) return {};
  return std::string(buffer, static_cast<std::size_t>(n));
}

bool ended(const UniqueFd& process) {
  pollfd p{process.get(), POLLIN, 0};
  return poll(&p, 1, 0) > 0;
}

void waitForEnd(const UniqueFd& process, std::chrono::milliseconds wait, int cancelFd) {
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + wait;
  for (;;) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) return;
    pollfd p[] = {{process.get(), POLLIN, 0}, {cancelFd, POLLIN, 0}};
    int rc = poll(p, cancelFd >= 0 ? 2 : 1, static_cast<int>(left.count()));
    if (rc > 0 || (rc < 0 && errno != EINTR)) return;
  }
}

}  // namespace

std::optional<int> parsePidFile(std::string_view text) {
  auto value = parseStrictDecimal(trimWhitespace(text));
  if (!value || *value < INT_MIN || *value > INT_MAX) return std::nullopt;
  return static_cast<int>(*value);
}

void killStaleServer(const std::string& pidFile, std::chrono::milliseconds wait, int cancelFd) {
  auto text = readUtf8File(pidFile, kMaxPidFileBytes);
  if (!text) return;
  auto pid = parsePidFile(*text);
  if (!pid) return;

  // Opened before the path is checked: if the PID is reused meanwhile, signals
  // through this handle reach nobody rather than the newcomer.
  UniqueFd process(*pid > 0 ? openPidfd(*pid) : -1);
  if (process) {
    std::string exe = executableOf(*pid);
    // Replaced or reinstalled since it started: still a bundle's interpreter.
    if (exe.ends_with(" (deleted)")) exe.resize(exe.size() - std::string_view(" (deleted)").size());
    if (exe.ends_with(kServerExecutableSuffix) && signalPidfd(process.get(), SIGTERM) == 0) {
      // Its workers too; while the leader lives, its group's ID is its own.
      if (getpgid(*pid) == *pid && !ended(process)) kill(-*pid, SIGTERM);
      waitForEnd(process, wait, cancelFd);
    }
  }
  unlink(pidFile.c_str());
}

}  // namespace quorvel
