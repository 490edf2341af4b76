#pragma once
// What makes a downloaded update trustworthy: its size as the feed gives it and an
// Ed25519 signature over its bytes by the key this copy carries (SUPublicEDKey).

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "base/app_error.h"
#include "update/update_feed.h"

namespace quorvel {

using PublicKey = std::array<std::uint8_t, 32>;
using Signature = std::array<std::uint8_t, 64>;

// Strict base64 of exactly the right number of bytes; anything else is nothing.
std::optional<PublicKey> parsePublicKey(std::string_view base64);
std::optional<Signature> parseSignature(std::string_view base64);

// A positive decimal byte count, as an enclosure's length must be.
std::optional<std::uint64_t> parseLength(std::string_view text);

// Why this enclosure cannot be installed by Quorvel itself (one finished sentence to
// show below the offer), or nothing when it can be downloaded and checked.
std::optional<std::string> whyNotInstallable(const std::optional<PublicKey>& key, const Enclosure& enclosure);

// Checks the file at `path` against the enclosure: its size first, then its signature.
// The failure names what did not match.
Status verifyDownload(const std::string& path, std::uint64_t length, const PublicKey& key, const Signature& signature);

}  // namespace quorvel
