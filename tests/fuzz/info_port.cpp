// Info.plist bytes (XML or binary) through libplist to the port Quorvel serves on.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "launch/launch_settings.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  auto info = quorvel::parseInfoDictionary({reinterpret_cast<const char*>(data), size});
  quorvel::portFromInfo(info);
  quorvel::infoNumber(info, "SUScheduledCheckInterval");
  return 0;
}
