#pragma once
// One child process, in a process group of its own and held through a pidfd, so
// that waiting and signalling can never reach a process that merely reused its
// PID. It gets SIGINT if Quorvel dies without stopping it. Safe to use from
// several threads.

#include <sys/types.h>

#include <chrono>
#include <memory>
#include <mutex>

#include "base/app_error.h"
#include "base/unique_fd.h"
#include "server/process_config.h"

namespace quorvel {

class ChildProcess {
 public:
  enum class TerminationReason { Exit, UncaughtSignal };

  // Starts the description's program. A launch failure (missing or non-executable
  // program, bad working directory) is an error; no child is left behind.
  static Result<std::shared_ptr<ChildProcess>> launch(const ProcessDescription& description);

  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;
  // Reaps the child if it has ended; a running child is left running.
  ~ChildProcess();

  pid_t processIdentifier() const { return pid_; }
  bool isRunning();
  void waitUntilExit();
  // True when the child has ended within `timeout`.
  bool waitForExit(std::chrono::milliseconds timeout);

  // Meaningful once the child has ended.
  TerminationReason terminationReason();
  // The exit status, or the number of the signal that ended the child.
  int terminationStatus();

  int pidfd() const { return pidfd_.get(); }  // readable once the child has ended

  void interrupt() { sendSignal(2); }  // SIGINT, to the child alone
  void kill();                         // SIGKILL, to the child's whole process group
  void sendSignal(int signal);

 private:
  ChildProcess(pid_t pid, UniqueFd pidfd) : pid_(pid), pidfd_(std::move(pidfd)) {}
  bool reapIfEnded();  // true once ended; caller holds mutex_

  const pid_t pid_;
  const UniqueFd pidfd_;
  std::mutex mutex_;
  bool ended_ = false;
  TerminationReason reason_ = TerminationReason::Exit;
  int status_ = 0;
};

}  // namespace quorvel
