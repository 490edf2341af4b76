#pragma once
// Reading the small text files Quorvel keeps (secret, PID file, ...) defensively:
// they may be missing, huge, or not text at all.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "base/app_error.h"

namespace quorvel {

// The whole file if it is a regular file of at most `maxBytes` holding valid UTF-8.
std::optional<std::string> readUtf8File(const std::string& path, std::size_t maxBytes);

// Replaces the file at once (never half-written), with mode 644, making its folder
// first.
Status writeFileAtomically(const std::string& path, std::string_view text);

// The last `count` lines of a file (of its last 64 KiB at most), as valid UTF-8;
// "" when it cannot be read.
std::string lastLines(const std::string& path, std::size_t count);

// Drops white space and line breaks (Unicode's, not only ASCII) from both ends.
std::string trimWhitespace(std::string_view utf8);

// An optional '+' or '-', then one or more ASCII digits and nothing else, that fits
// 64 bits.
std::optional<std::int64_t> parseStrictDecimal(std::string_view text);

}  // namespace quorvel
