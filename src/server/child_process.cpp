#include "server/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <string>
#include <thread>
#include <vector>

#include "server/pidfd.h"

#ifndef P_PIDFD
#define P_PIDFD 3  // linux/wait.h clashes with sys/wait.h
#endif

namespace quorvel {
namespace {

// A child that must go with Quorvel asks the kernel for SIGINT when its parent
// dies (PR_SET_PDEATHSIG). The kernel means the parent *thread*: a child forked by
// the start work's thread would be told as soon as that thread ends, after
// start-up. So every child is forked by one thread that lives as long as the
// process. posix_spawn cannot run prctl in the child, hence fork and exec.
// When the whole process dies the child may hear SIGINT more than once: the
// kernel signals it again each time it hands it to another of the ending threads.
class Spawner {
 public:
  struct Job {
    char* const* argv;
    char* const* envp;
    const char* directory;  // may be empty
    int outputFd;           // -1: the child keeps Quorvel's own output
    pid_t pid = -1;
    int error = 0;
    bool done = false;
  };

  static Spawner& instance() {
    static Spawner* spawner = new Spawner;  // never destroyed: its thread must outlive every child
    return *spawner;
  }

  void run(Job& job) {
    std::unique_lock lock(mutex_);
    jobs_.push_back(&job);
    wake_.notify_all();
    wake_.wait(lock, [&] { return job.done; });
  }

 private:
  Spawner() { std::thread([this] { serve(); }).detach(); }

  void serve() {
    for (;;) {
      std::unique_lock lock(mutex_);
      wake_.wait(lock, [this] { return !jobs_.empty(); });
      Job* job = jobs_.front();
      jobs_.pop_front();
      lock.unlock();
      forkAndExec(*job);
      lock.lock();
      job->done = true;
      wake_.notify_all();
    }
  }

  static void forkAndExec(Job& job) {
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0) {
      job.error = errno;
      return;
    }
    UniqueFd reportIn(ends[0]), reportOut(ends[1]);
    const pid_t parent = getpid();
    pid_t pid = fork();
    if (pid == 0) {
      // Only async-signal-safe calls from here to exec.
      sigset_t none;
      sigemptyset(&none);
      sigprocmask(SIG_SETMASK, &none, nullptr);
      for (int sig = 1; sig < NSIG; ++sig) {
        if (sig != SIGKILL && sig != SIGSTOP) signal(sig, SIG_DFL);
      }
      prctl(PR_SET_PDEATHSIG, SIGINT);
      if (getppid() != parent) _exit(127);  // Quorvel died before the line above
      // A process group of its own: a terminal's Ctrl+C reaches Quorvel, which
      // stops the server in order; the final SIGKILL reaches its workers too.
      setpgid(0, 0);
      int in = open("/dev/null", O_RDONLY);
      if (in >= 0 && in != 0) dup2(in, 0);
      if (job.outputFd >= 0) {
        dup2(job.outputFd, 1);
        dup2(job.outputFd, 2);
      }
      if (*job.directory == '\0' || chdir(job.directory) == 0) execve(job.argv[0], job.argv, job.envp);
      int err = errno;
      ssize_t ignored = write(reportOut.get(), &err, sizeof err);
      (void)ignored;
      _exit(127);
    }
    reportOut.reset();
    if (pid < 0) {
      job.error = errno;
    } else {
      // Nothing to read means exec succeeded and closed the pipe.
      int err = 0;
      ssize_t n;
      do {
        n = read(reportIn.get(), &err, sizeof err);
      } while (n < 0 && errno == EINTR);
      if (n == sizeof err) {
        waitpid(pid, nullptr, 0);
        job.error = err;
      } else {
        job.pid = pid;
      }
    }
  }

  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<Job*> jobs_;
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
  // Output is appended; if the file cannot be opened, the child keeps Quorvel's own.
  UniqueFd output(open(d.outputFile.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644));
  std::vector<std::string> argv{d.executable};
  argv.insert(argv.end(), d.arguments.begin(), d.arguments.end());
  std::vector<std::string> envp;
  for (const auto& [name, value] : d.environment) envp.push_back(name + "=" + value);
  auto argvPointers = cStrings(argv);
  auto envPointers = cStrings(envp);

  Spawner::Job job{argvPointers.data(), envPointers.data(), d.workingDirectory.c_str(), output.get()};
  Spawner::instance().run(job);
  output.reset();
  if (job.pid < 0) {
    return AppError("Quorvel couldn't start the server program " + d.executable + ": " + std::strerror(job.error) + ".");
  }
  UniqueFd pidfd(openPidfd(job.pid));
  if (!pidfd) {
    int err = errno;
    ::kill(job.pid, SIGKILL);
    waitpid(job.pid, nullptr, 0);
    return AppError(std::string("Quorvel couldn't watch the server process: ") + std::strerror(err) + ".");
  }
  return std::shared_ptr<ChildProcess>(new ChildProcess(job.pid, std::move(pidfd)));
}

ChildProcess::~ChildProcess() {
  {
    std::lock_guard lock(mutex_);
    reapIfEnded();
  }
}

bool ChildProcess::reapIfEnded() {
  if (ended_) return true;
  siginfo_t info{};
  int rc;
  do {
    rc = waitid(static_cast<idtype_t>(P_PIDFD), static_cast<id_t>(pidfd_.get()), &info, WEXITED | WNOHANG);
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
    pollfd p{pidfd_.get(), POLLIN, 0};
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
  signalPidfd(pidfd_.get(), signal);
}

void ChildProcess::kill() {
  std::lock_guard lock(mutex_);
  // While the leader is not reaped its PID, the group's ID, cannot be taken by
  // another process, so the group is still its own: workers go with it.
  if (!ended_) ::kill(-pid_, SIGKILL);
}

}  // namespace quorvel
