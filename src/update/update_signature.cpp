#include "update/update_signature.h"

#include <glib.h>
#include <nettle/eddsa.h>

#include <algorithm>

#include "base/glib_ptr.h"
#include "base/text_file.h"

namespace quorvel {
namespace {

using MappedFilePtr = CPtr<GMappedFile, g_mapped_file_unref>;

template <std::size_t N>
std::optional<std::array<std::uint8_t, N>> decodeExactly(std::string_view base64) {
  const std::string text = trimWhitespace(base64);
  // g_base64_decode skips what is not base64; encoding the result again must give
  // the text back, so only canonical base64 of N bytes passes.
  if (text.size() != (N + 2) / 3 * 4) return std::nullopt;
  gsize size = 0;
  GCharPtr bytes(reinterpret_cast<gchar*>(g_base64_decode(text.c_str(), &size)));
  if (size != N) return std::nullopt;
  GCharPtr again(g_base64_encode(reinterpret_cast<const guchar*>(bytes.get()), size));
  if (text != again.get()) return std::nullopt;
  std::array<std::uint8_t, N> out;
  std::copy_n(reinterpret_cast<const std::uint8_t*>(bytes.get()), N, out.begin());
  return out;
}

}  // namespace

std::optional<PublicKey> parsePublicKey(std::string_view base64) { return decodeExactly<32>(base64); }
std::optional<Signature> parseSignature(std::string_view base64) { return decodeExactly<64>(base64); }

std::optional<std::uint64_t> parseLength(std::string_view text) {
  if (text.empty() || text.front() == '+' || text.front() == '-') return std::nullopt;
  auto n = parseStrictDecimal(text);
  if (!n || *n <= 0) return std::nullopt;
  return static_cast<std::uint64_t>(*n);
}

std::optional<std::string> whyNotInstallable(const std::optional<PublicKey>& key, const Enclosure& enclosure) {
  if (!key) return "This copy of Quorvel has no valid key to check updates with, so it can't install them itself.";
  if (!parseSignature(enclosure.signature)) return "This update is not signed, so Quorvel can't install it itself.";
  if (!parseLength(enclosure.length)) {
    return "The feed gives no size for this update, so Quorvel can't install it itself.";
  }
  if (!isFetchableURL(enclosure.url)) {
    return "This update is not offered over https, so Quorvel can't install it itself.";
  }
  return std::nullopt;
}

Status verifyDownload(const std::string& path, std::uint64_t length, const PublicKey& key, const Signature& signature) {
  GErrorHolder error;
  MappedFilePtr file(g_mapped_file_new(path.c_str(), FALSE, error.out()));
  if (!file) return AppError("The downloaded update could not be read: " + error.message() + ".");
  const auto size = static_cast<std::uint64_t>(g_mapped_file_get_length(file.get()));
  if (size != length) {
    return AppError("The downloaded update's size (" + std::to_string(size) +
                    " bytes) does not match the size the feed gives (" + std::to_string(length) + " bytes).");
  }
  // An empty mapping has no contents pointer; a positive length never gets here empty.
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(g_mapped_file_get_contents(file.get()));
  if (ed25519_sha512_verify(key.data(), size, bytes, signature.data()) != 1) {
    return AppError("The downloaded update's signature does not match the key of this copy of Quorvel.");
  }
  return success();
}

}  // namespace quorvel
