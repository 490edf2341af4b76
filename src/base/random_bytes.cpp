#include "base/random_bytes.h"

#include <sys/random.h>

#include <cerrno>
#include <vector>

namespace quorvel {

bool systemRandom(unsigned char* buffer, std::size_t length) {
  std::size_t filled = 0;
  while (filled < length) {
    ssize_t n = getrandom(buffer + filled, length - filled, 0);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    filled += static_cast<std::size_t>(n);
  }
  return true;
}

bool randomHex(const RandomSource& source, std::size_t count, std::string& out) {
  std::vector<unsigned char> bytes(count, 0);
  if (!source(bytes.data(), bytes.size())) return false;
  static constexpr char kDigits[] = "0123456789abcdef";
  out.clear();
  out.reserve(count * 2);
  for (unsigned char b : bytes) {
    out.push_back(kDigits[b >> 4]);
    out.push_back(kDigits[b & 0x0f]);
  }
  return true;
}

}  // namespace quorvel
