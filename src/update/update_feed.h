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
// Our own attributes in the feed: quorvel:release names the system an enclosure is for.
inline constexpr const char* kQuorvelNamespace = "https://quorvel.app/xml-namespaces/appcast";
inline constexpr const char* kDebianPackageType = "application/vnd.debian.binary-package";

// One <enclosure>, its attributes as written (trimmed); empty when absent.
struct Enclosure {
  std::string url;
  std::string length;
  std::string type;
  std::string os;         // sparkle:os
  std::string release;    // quorvel:release, "ID-VERSION_ID"; empty suits every release
  std::string signature;  // sparkle:edSignature, base64
  bool operator==(const Enclosure&) const = default;
};

struct FeedItem {
  std::string version;       // machine version (sparkle:version), the one compared
  std::string shortVersion;  // human version (sparkle:shortVersionString), may be empty
  std::string downloadURL;   // enclosure url, else the item's <link>, may be empty
  std::string title;         // item <title>, may be empty
  std::string releaseNotesLink;  // sparkle:releaseNotesLink, may be empty
  std::string description;       // item <description> (HTML as text), may be empty
  std::vector<Enclosure> enclosures;
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

// The enclosure of `item` for this system: a Debian package for Linux, named for
// `release` or, failing that, for no release in particular (the first of each).
std::optional<Enclosure> chooseEnclosure(const FeedItem& item, std::string_view release);

// "ID-VERSION_ID" of an os-release file's text ("debian-12"); empty when it has no ID.
std::string releaseFromOsRelease(std::string_view text);

// The item with the greatest version (the first among equals), or nothing.
std::optional<FeedItem> newestItem(const std::vector<FeedItem>& items);

// https to any host, or http only to a loopback address or "localhost".
// Returns the URL unchanged when it may be fetched.
Result<std::string> checkFeedURL(const std::string& url);
// The same rule for anything else the feed points at (package, release notes).
bool isFetchableURL(const std::string& url);

struct UpdateVerdict {
  enum class Kind { UpToDate, UpdateAvailable };
  Kind kind;
  FeedItem newest;     // the newest item that has an enclosure for this system
  Enclosure enclosure;  // that enclosure
};

// An automatic check keeps quiet about a version the user skipped, and about any
// older one; a check the user asked for always speaks.
bool skipKeepsQuiet(bool automatic, std::string_view version, std::string_view skipped);

// Pure: this copy's version against the feed body, for the running `release`. An item
// with no enclosure for this system is no update.
Result<UpdateVerdict> judgeFeed(const std::string& currentVersion, std::string_view body, std::string_view release);

}  // namespace quorvel
