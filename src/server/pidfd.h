#pragma once
// pidfd calls through syscall(2): glibc 2.36's <sys/pidfd.h> declares them without
// extern "C", so C++ cannot link against it (fixed in glibc 2.37).

#include <signal.h>
#include <sys/syscall.h>
#include <sys/types.h>
#include <unistd.h>

namespace quorvel {

inline int openPidfd(pid_t pid) { return static_cast<int>(syscall(SYS_pidfd_open, pid, 0u)); }

inline int signalPidfd(int pidfd, int signal) {
  return static_cast<int>(syscall(SYS_pidfd_send_signal, pidfd, signal, nullptr, 0u));
}

}  // namespace quorvel
