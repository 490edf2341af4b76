#pragma once
// The server's secret key base: stable across launches, kept in the data directory.

#include <string>

#include "server/app_error.h"
#include "server/random_bytes.h"

namespace quorvel {

// The stored value (trimmed), or a new 128-hex-digit value, stored with mode 600 for
// the next launch. A failed write is ignored: the new value still serves this launch.
// Fails only when the random source fails.
Result<std::string> secretKeyBase(const std::string& supportDir,
                                  const RandomSource& random = systemRandom);

}  // namespace quorvel
