#include "server/secret_key_base.h"

#include <glib.h>

#include "base/text_file.h"

namespace quorvel {
namespace {

// A longer value could not be passed to the server: one environment entry is
// limited to 128 KiB by the kernel.
constexpr std::size_t kMaxSecretBytes = 64 * 1024;

}  // namespace

std::optional<std::string> parseSecretKeyBase(std::string_view text) {
  // White space alone is no usable secret: an empty SECRET_KEY_BASE only makes
  // the server fail, so such a file is replaced like an empty one.
  std::string value = trimWhitespace(text);
  if (value.empty()) return std::nullopt;
  return value;
}

Result<std::string> secretKeyBase(const std::string& supportDir, const RandomSource& random) {
  const std::string path = supportDir + "/secret_key_base";
  if (auto text = readUtf8File(path, kMaxSecretBytes)) {
    if (auto value = parseSecretKeyBase(*text)) return std::move(*value);
  }

  std::string fresh;
  if (!randomHex(random, 64, fresh)) {
    return AppError("Quorvel couldn't make a secret key for the server because the system's random source failed.");
  }
  // Atomic and created with mode 600: never half-written, never readable by others.
  g_file_set_contents_full(path.c_str(), fresh.data(), static_cast<gssize>(fresh.size()),
                           G_FILE_SET_CONTENTS_CONSISTENT, 0600, nullptr);
  return fresh;
}

}  // namespace quorvel
