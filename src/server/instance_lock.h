#pragma once
// An exclusive lock on a file, held for as long as the object lives: the second
// guard (after GApplication's uniqueness) that only one Quorvel per user runs.

#include <string>

#include "base/unique_fd.h"

namespace quorvel {

class InstanceLock {
 public:
  enum class Outcome { Acquired, HeldElsewhere, Unavailable };

  InstanceLock() = default;
  InstanceLock(const InstanceLock&) = delete;
  InstanceLock& operator=(const InstanceLock&) = delete;

  // Unavailable: the lock file could not be opened (for example a read-only
  // folder), so nothing can be said about other instances.
  Outcome acquire(const std::string& path);

 private:
  UniqueFd fd_;
};

}  // namespace quorvel
