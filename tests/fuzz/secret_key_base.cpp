// The secret key base file's text: what is kept must be trimmed and stable.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "base/text_file.h"
#include "server/secret_key_base.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  auto value = quorvel::parseSecretKeyBase(text);
  // Read back at the next launch, a kept value must stay the same.
  if (value && (text.find(*value) == text.npos || quorvel::parseSecretKeyBase(*value) != value)) {
    __builtin_trap();
  }
  return 0;
}
