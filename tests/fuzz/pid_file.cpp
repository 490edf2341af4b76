// A PID file's bytes, as a crashed or foreign process may have left them.

#include <cstddef>
#include <cstdint>

#include "server/stale_cleanup.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  quorvel::parsePidFile({reinterpret_cast<const char*>(data), size});
  return 0;
}
