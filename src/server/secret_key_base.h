#pragma once
// The server's secret key base: stable across launches, kept in the data directory.

#include <optional>
#include <string>
#include <string_view>

#include "base/app_error.h"
#include "base/random_bytes.h"

namespace quorvel {

// The secret in the file's text (as readUtf8File gives it), trimmed; nothing when
// only white space is left.
std::optional<std::string> parseSecretKeyBase(std::string_view text);

// The stored value (trimmed), or a new 128-hex-digit value, stored with mode 600 for
// the next launch. A failed write is ignored: the new value still serves this launch.
// Fails only when the random source fails.
Result<std::string> secretKeyBase(const std::string& supportDir,
                                  const RandomSource& random = systemRandom);

}  // namespace quorvel
