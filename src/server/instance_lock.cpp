#include "server/instance_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

namespace quorvel {

InstanceLock::Outcome InstanceLock::acquire(const std::string& path) {
  if (fd_) return Outcome::Acquired;
  // Close-on-exec: a server that inherited the descriptor would keep the lock.
  UniqueFd fd(open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOCTTY, 0600));
  if (!fd) return Outcome::Unavailable;
  int rc;
  do {
    rc = flock(fd.get(), LOCK_EX | LOCK_NB);
  } while (rc < 0 && errno == EINTR);
  if (rc < 0) return errno == EWOULDBLOCK ? Outcome::HeldElsewhere : Outcome::Unavailable;
  fd_ = std::move(fd);
  return Outcome::Acquired;
}

}  // namespace quorvel
