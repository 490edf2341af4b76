#pragma once
// Cryptographically secure random bytes, behind a replaceable source so that the
// failure of the source can be tested.

#include <cstddef>
#include <functional>
#include <string>

namespace quorvel {

// Fills the whole buffer, or returns false.
using RandomSource = std::function<bool(unsigned char* buffer, std::size_t length)>;

// getrandom(2), repeated until every byte is filled.
bool systemRandom(unsigned char* buffer, std::size_t length);

// `count` random bytes as 2*count lower-case hexadecimal digits, or nothing if the
// source failed.
bool randomHex(const RandomSource& source, std::size_t count, std::string& out);

}  // namespace quorvel
