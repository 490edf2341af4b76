#include "server/instance_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

namespace quorvel {

InstanceLock::~InstanceLock() {
  if (fd_ >= 0) close(fd_);
}

InstanceLock::Outcome InstanceLock::acquire(const std::string& path) {
  if (fd_ >= 0) return Outcome::Acquired;
  // Close-on-exec: a server that inherited the descriptor would keep the lock.
  int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOCTTY, 0600);
  if (fd < 0) return Outcome::Unavailable;
  int rc;
  do {
    rc = flock(fd, LOCK_EX | LOCK_NB);
  } while (rc < 0 && errno == EINTR);
  if (rc < 0) {
    int err = errno;
    close(fd);
    return err == EWOULDBLOCK ? Outcome::HeldElsewhere : Outcome::Unavailable;
  }
  fd_ = fd;
  return Outcome::Acquired;
}

}  // namespace quorvel
