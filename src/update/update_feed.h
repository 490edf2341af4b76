#pragma once
// Update checks in the manner of Sparkle: read an RSS "appcast", compare versions,
// and decide whether the feed offers something newer than this copy.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/app_error.h"

namespace quorvel {

// Real appcasts are a few kilobytes; anything this big is not one.
inline constexpr std::size_t kMaxFeedBytes = 5 * 1024 * 1024;

inline constexpr const char* kSparkleNamespace =
    "http://www.andymatuschak.org/xml-namespaces/sparkle";

struct FeedItem {
  std::string version;       // machine version (sparkle:version), the one compared
  std::string shortVersion;  // human version (sparkle:shortVersionString), may be empty
  std::string downloadURL;   // enclosure url, else the item's <link>, may be empty
  std::string title;         // item <title>, may be empty
  bool operator==(const FeedItem&) const = default;
};

// The items of rss/channel (the first channel) that carry a version, in feed order.
// Entity references are never expanded and nothing is loaded from outside.
Result<std::vector<FeedItem>> parseAppcast(std::string_view body);

// Orders versions as Sparkle does: numeric runs by value, letter runs as text, any
// separator ('.', '-', '_', '+', ' ') as a boundary; a letter run where the other
// version has a number or has ended marks a pre-release ("1.0b1" < "1.0").
// Returns <0, 0 or >0.
int compareVersions(std::string_view a, std::string_view b);

// The item with the greatest version (the first among equals), or nothing.
std::optional<FeedItem> newestItem(const std::vector<FeedItem>& items);

// https to any host, or http only to a loopback address or "localhost".
// Returns the URL unchanged when it may be fetched.
Result<std::string> checkFeedURL(const std::string& url);

struct UpdateVerdict {
  enum class Kind { UpToDate, UpdateAvailable };
  Kind kind;
  FeedItem newest;  // the feed's newest item, filled for both kinds
};

// Pure: this copy's version against the feed body.
Result<UpdateVerdict> judgeFeed(const std::string& currentVersion, std::string_view body);

}  // namespace quorvel
