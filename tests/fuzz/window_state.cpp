// The window-state key file, as a crash, a person or another version left it.

#include <cstddef>
#include <cstdint>
#include <string>

#include "shell/window_state.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace quorvel;
  const WindowState state = parseWindowState(std::string(reinterpret_cast<const char*>(data), size));
  // Whatever was read is saved at quit and must come back as it was.
  if (parseWindowState(serializeWindowState(state)) != state) __builtin_trap();
  return 0;
}
