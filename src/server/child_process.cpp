#include "server/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include "server/pidfd.h"
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

extern char** environ;

#ifndef P_PIDFD
#define P_PIDFD 3  // linux/wait.h clashes with sys/wait.h
#endif

namespace quorvel {
namespace {

class SpawnSetup {
 public:
  SpawnSetup() {
    posix_spawn_file_actions_init(&actions);
    posix_spawnattr_init(&attributes);
  }
  SpawnSetup(const SpawnSetup&) = delete;
  SpawnSetup& operator=(const SpawnSetup&) = delete;
  ~SpawnSetup() {
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (outputFd >= 0) close(outputFd);
  }
  posix_spawn_file_actions_t actions;
  posix_spawnattr_t attributes;
  int outputFd = -1;
};

std::vector<char*> cStrings(std::vector<std::string>& strings) {
  std::vector<char*> pointers;
  pointers.reserve(strings.size() + 1);
  for (auto& s : strings) pointers.push_back(s.data());
  pointers.push_back(nullptr);
  return pointers;
}

}  // namespace

Result<std::shared_ptr<ChildProcess>> ChildProcess::launch(const ProcessDescription& d) {
  SpawnSetup setup;
  posix_spawn_file_actions_addopen(&setup.actions, 0, "/dev/null", O_RDONLY, 0);
  // Output is appended; if the file cannot be opened, the child keeps Quorvel's own.
  setup.outputFd = open(d.outputFile.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  if (setup.outputFd >= 0) {
    posix_spawn_file_actions_adddup2(&setup.actions, setup.outputFd, 1);
    posix_spawn_file_actions_adddup2(&setup.actions, setup.outputFd, 2);
  }
  if (!d.workingDirectory.empty()) {
    posix_spawn_file_actions_addchdir_np(&setup.actions, d.workingDirectory.c_str());
  }

  // The child starts with default signal handling and no blocked signals, whatever
  // GLib or WebKit did to ours, in a process group of its own so that a terminal's
  // Ctrl+C reaches Quorvel, which then stops the server in order.
  sigset_t none, all;
  sigemptyset(&none);
  sigfillset(&all);
  sigdelset(&all, SIGKILL);
  sigdelset(&all, SIGSTOP);
  posix_spawnattr_setsigmask(&setup.attributes, &none);
  posix_spawnattr_setsigdefault(&setup.attributes, &all);
  posix_spawnattr_setpgroup(&setup.attributes, 0);
  posix_spawnattr_setflags(&setup.attributes,
                           POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETPGROUP);

  std::vector<std::string> argv{d.executable};
  argv.insert(argv.end(), d.arguments.begin(), d.arguments.end());
  std::vector<std::string> envp;
  for (const auto& [name, value] : d.environment) envp.push_back(name + "=" + value);
  auto argvPointers = cStrings(argv);
  auto envPointers = cStrings(envp);

  pid_t pid = 0;
  int rc = posix_spawn(&pid, d.executable.c_str(), &setup.actions, &setup.attributes,
                       argvPointers.data(), envPointers.data());
  if (rc != 0) {
    return AppError("Quorvel couldn't start the server program " + d.executable + ": " +
                    std::strerror(rc) + ".");
  }
  int pidfd = openPidfd(pid);
  if (pidfd < 0) {
    int err = errno;
    ::kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    return AppError(std::string("Quorvel couldn't watch the server process: ") + std::strerror(err) + ".");
  }
  return std::shared_ptr<ChildProcess>(new ChildProcess(pid, pidfd));
}

ChildProcess::~ChildProcess() {
  {
    std::lock_guard lock(mutex_);
    reapIfEnded();
  }
  close(pidfd_);
}

bool ChildProcess::reapIfEnded() {
  if (ended_) return true;
  siginfo_t info{};
  int rc;
  do {
    rc = waitid(static_cast<idtype_t>(P_PIDFD), static_cast<id_t>(pidfd_), &info, WEXITED | WNOHANG);
  } while (rc < 0 && errno == EINTR);
  if (rc < 0 || info.si_pid == 0) return false;
  ended_ = true;
  reason_ = info.si_code == CLD_EXITED ? TerminationReason::Exit : TerminationReason::UncaughtSignal;
  status_ = info.si_status;
  return true;
}

bool ChildProcess::isRunning() {
  std::lock_guard lock(mutex_);
  return !reapIfEnded();
}

bool ChildProcess::waitForExit(std::chrono::milliseconds timeout) {
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + timeout;
  for (;;) {
    if (!isRunning()) return true;
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) return false;
    // The pidfd becomes readable when the child ends.
    pollfd p{pidfd_, POLLIN, 0};
    poll(&p, 1, static_cast<int>(std::min<long long>(left.count() + 1, 60'000)));
  }
}

void ChildProcess::waitUntilExit() {
  while (!waitForExit(std::chrono::hours(1))) {
  }
}

ChildProcess::TerminationReason ChildProcess::terminationReason() {
  std::lock_guard lock(mutex_);
  reapIfEnded();
  return reason_;
}

int ChildProcess::terminationStatus() {
  std::lock_guard lock(mutex_);
  reapIfEnded();
  return status_;
}

void ChildProcess::sendSignal(int signal) {
  // After reaping, the pidfd still names the ended child, never a newcomer.
  signalPidfd(pidfd_, signal);
}

}  // namespace quorvel
