#include "update/update_feed.h"

#include <gio/gio.h>
#include <glib.h>
#include <libxml/parser.h>
#include <libxml/tree.h>

#include <algorithm>
#include <climits>

#include "base/glib_ptr.h"

namespace quorvel {
namespace {

constexpr const char* kTooLarge = "The update feed is too large to be an appcast.";
constexpr const char* kNotXml = "The update feed is not a valid appcast (not XML).";
constexpr const char* kNoVersions = "The update feed lists no versions.";
constexpr const char* kInvalidURL = "The update feed address is not a valid URL.";
constexpr const char* kNeedsHttps = "The update feed must be fetched over https.";

using XmlDocPtr = CPtr<xmlDoc, xmlFreeDoc>;

// libxml2 speaks unsigned char; these casts are the only bridge to char.
const xmlChar* xml(const char* s) { return reinterpret_cast<const xmlChar*>(s); }
const char* text(const xmlChar* s) { return reinterpret_cast<const char*>(s); }

std::string trimmed(std::string s) {
  constexpr const char* kSpace = " \t\r\n";
  const auto first = s.find_first_not_of(kSpace);
  if (first == std::string::npos) return {};
  return s.substr(first, s.find_last_not_of(kSpace) - first + 1);
}

bool inNamespace(const xmlNs* ns, const char* uri) {
  if (uri == nullptr) return ns == nullptr;
  return ns != nullptr && xmlStrEqual(ns->href, xml(uri));
}

bool isElement(const xmlNode* node, const char* uri, const char* name) {
  return node->type == XML_ELEMENT_NODE && xmlStrEqual(node->name, xml(name)) &&
         inNamespace(node->ns, uri);
}

const xmlNode* firstChild(const xmlNode* parent, const char* uri, const char* name) {
  for (const xmlNode* c = parent->children; c != nullptr; c = c->next) {
    if (isElement(c, uri, name)) return c;
  }
  return nullptr;
}

// Only literal text counts: following entity-reference nodes (as xmlNodeGetContent
// and xmlGetNsProp do) would expand billion-laughs style declarations.
std::string literalText(const xmlNode* first) {
  std::string out;
  for (const xmlNode* c = first; c != nullptr; c = c->next) {
    if ((c->type == XML_TEXT_NODE || c->type == XML_CDATA_SECTION_NODE) && c->content) {
      out += text(c->content);
    }
  }
  return trimmed(std::move(out));
}

std::string childText(const xmlNode* parent, const char* uri, const char* name) {
  const xmlNode* child = parent ? firstChild(parent, uri, name) : nullptr;
  return child ? literalText(child->children) : std::string();
}

std::string attribute(const xmlNode* element, const char* uri, const char* name) {
  if (element == nullptr) return {};
  for (const xmlAttr* a = element->properties; a != nullptr; a = a->next) {
    if (xmlStrEqual(a->name, xml(name)) && inNamespace(a->ns, uri)) {
      return literalText(a->children);
    }
  }
  return {};
}

// The enclosure attribute wins; an empty one does not hide the child element.
std::string sparkleValue(const xmlNode* item, const xmlNode* enclosure, const char* name) {
  std::string value = attribute(enclosure, kSparkleNamespace, name);
  return value.empty() ? childText(item, kSparkleNamespace, name) : value;
}

Enclosure readEnclosure(const xmlNode* e) {
  return {attribute(e, nullptr, "url"),          attribute(e, nullptr, "length"),
          attribute(e, nullptr, "type"),         attribute(e, kSparkleNamespace, "os"),
          attribute(e, kQuorvelNamespace, "release"), attribute(e, kSparkleNamespace, "edSignature")};
}

std::optional<FeedItem> readItem(const xmlNode* item) {
  const xmlNode* enclosure = firstChild(item, nullptr, "enclosure");
  FeedItem out;
  out.version = sparkleValue(item, enclosure, "version");
  if (out.version.empty()) return std::nullopt;
  out.shortVersion = sparkleValue(item, enclosure, "shortVersionString");
  out.downloadURL = attribute(enclosure, nullptr, "url");
  if (out.downloadURL.empty()) out.downloadURL = childText(item, nullptr, "link");
  out.title = childText(item, nullptr, "title");
  out.releaseNotesLink = childText(item, kSparkleNamespace, "releaseNotesLink");
  out.description = childText(item, nullptr, "description");
  for (const xmlNode* c = item->children; c != nullptr; c = c->next) {
    if (isElement(c, nullptr, "enclosure")) out.enclosures.push_back(readEnclosure(c));
  }
  return out;
}

enum class RunKind { Letters, Number };

struct Run {
  RunKind kind;
  std::string_view text;  // numbers without leading zeros
};

bool isSeparator(char c) { return c == '.' || c == '-' || c == '_' || c == '+' || c == ' '; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

std::vector<Run> splitVersion(std::string_view v) {
  std::vector<Run> runs;
  std::size_t i = 0;
  while (i < v.size()) {
    if (isSeparator(v[i])) {
      ++i;
      continue;
    }
    const bool digits = isDigit(v[i]);
    std::size_t end = i;
    while (end < v.size() && !isSeparator(v[end]) && isDigit(v[end]) == digits) ++end;
    std::string_view run = v.substr(i, end - i);
    if (digits) {
      run.remove_prefix(std::min(run.find_first_not_of('0'), run.size()));
    }
    runs.push_back({digits ? RunKind::Number : RunKind::Letters, run});
    i = end;
  }
  return runs;
}

int sign(int n) { return (n > 0) - (n < 0); }

int compareRuns(const Run& a, const Run& b) {
  // A pre-release tag sits below any number in the same place.
  if (a.kind != b.kind) return a.kind == RunKind::Number ? 1 : -1;
  if (a.kind == RunKind::Number && a.text.size() != b.text.size()) {
    return a.text.size() > b.text.size() ? 1 : -1;
  }
  return sign(a.text.compare(b.text));
}

bool isLoopbackHost(const char* host) {
  if (g_ascii_strcasecmp(host, "localhost") == 0) return true;
  GRef<GInetAddress> address = GRef<GInetAddress>::adopt(g_inet_address_new_from_string(host));
  return address && g_inet_address_get_is_loopback(address.get());
}

}  // namespace

Result<std::vector<FeedItem>> parseAppcast(std::string_view body) {
  if (body.size() > kMaxFeedBytes) return AppError(kTooLarge);
  static_assert(kMaxFeedBytes <= INT_MAX, "xmlReadMemory takes an int size");
  if (body.empty()) return AppError(kNotXml);

  // No NOENT, DTDLOAD or HUGE: entities stay unexpanded and nothing is fetched.
  XmlDocPtr doc(xmlReadMemory(body.data(), static_cast<int>(body.size()), nullptr, nullptr,
                              XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING));
  if (!doc) return AppError(kNotXml);

  const xmlNode* root = xmlDocGetRootElement(doc.get());
  const xmlNode* channel = nullptr;
  if (root != nullptr && isElement(root, nullptr, "rss")) {
    channel = firstChild(root, nullptr, "channel");
  }
  if (channel == nullptr) return AppError(kNoVersions);

  std::vector<FeedItem> items;
  for (const xmlNode* c = channel->children; c != nullptr; c = c->next) {
    if (!isElement(c, nullptr, "item")) continue;
    if (auto item = readItem(c)) items.push_back(std::move(*item));
  }
  if (items.empty()) return AppError(kNoVersions);
  return items;
}

int compareVersions(std::string_view a, std::string_view b) {
  const std::vector<Run> left = splitVersion(a);
  const std::vector<Run> right = splitVersion(b);
  // A version that has ended continues as zeros, so "1.0" == "1.0.0" and a
  // trailing letter run in the longer one still reads as a pre-release.
  const Run zero{RunKind::Number, {}};
  for (std::size_t i = 0; i < std::max(left.size(), right.size()); ++i) {
    const Run& x = i < left.size() ? left[i] : zero;
    const Run& y = i < right.size() ? right[i] : zero;
    if (int c = compareRuns(x, y); c != 0) return c;
  }
  return 0;
}

std::optional<FeedItem> newestItem(const std::vector<FeedItem>& items) {
  const FeedItem* best = nullptr;
  for (const FeedItem& item : items) {
    if (best == nullptr || compareVersions(item.version, best->version) > 0) best = &item;
  }
  if (best == nullptr) return std::nullopt;
  return *best;
}

Result<std::string> checkFeedURL(const std::string& url) {
  UriPtr uri(g_uri_parse(url.c_str(), G_URI_FLAGS_NONE, nullptr));
  if (!uri) return AppError(kInvalidURL);

  const char* scheme = g_uri_get_scheme(uri.get());
  const bool https = g_ascii_strcasecmp(scheme, "https") == 0;
  const bool http = g_ascii_strcasecmp(scheme, "http") == 0;
  if (!https && !http) return AppError(kNeedsHttps);

  const char* host = g_uri_get_host(uri.get());
  if (host == nullptr || *host == '\0') return AppError(kInvalidURL);
  if (http && !isLoopbackHost(host)) return AppError(kNeedsHttps);
  return url;
}

bool isFetchableURL(const std::string& url) { return checkFeedURL(url).ok(); }

std::optional<Enclosure> chooseEnclosure(const FeedItem& item, std::string_view release) {
  const Enclosure* general = nullptr;
  for (const Enclosure& e : item.enclosures) {
    if (e.type != kDebianPackageType || e.os != "linux") continue;
    if (!release.empty() && e.release == release) return e;
    if (e.release.empty() && general == nullptr) general = &e;
  }
  if (general == nullptr) return std::nullopt;
  return *general;
}

std::string releaseFromOsRelease(std::string_view text) {
  // Shell-style assignments; values may be quoted, as os-release(5) allows.
  std::string id, version;
  std::string_view rest = text;
  while (!rest.empty()) {
    const std::string line(rest.substr(0, rest.find('\n')));
    rest.remove_prefix(std::min(line.size() + 1, rest.size()));
    const auto equals = line.find('=');
    if (equals == std::string::npos) continue;
    const std::string key = trimmed(line.substr(0, equals));
    if (key != "ID" && key != "VERSION_ID") continue;
    GCharPtr value(g_shell_unquote(trimmed(line.substr(equals + 1)).c_str(), nullptr));
    if (value) (key == "ID" ? id : version) = value.get();
  }
  if (id.empty()) return {};
  return version.empty() ? id : id + "-" + version;
}

bool skipKeepsQuiet(bool automatic, std::string_view version, std::string_view skipped) {
  return automatic && !skipped.empty() && compareVersions(version, skipped) <= 0;
}

Result<UpdateVerdict> judgeFeed(const std::string& currentVersion, std::string_view body, std::string_view release) {
  auto items = parseAppcast(body);
  if (!items.ok()) return items.error();
  std::vector<FeedItem> forUs;
  for (FeedItem& item : items.value()) {
    if (chooseEnclosure(item, release)) forUs.push_back(std::move(item));
  }
  std::optional<FeedItem> newest = newestItem(forUs);
  if (!newest) return UpdateVerdict{UpdateVerdict::Kind::UpToDate, {}, {}};
  Enclosure enclosure = *chooseEnclosure(*newest, release);
  const bool newer = compareVersions(newest->version, currentVersion) > 0;
  return UpdateVerdict{newer ? UpdateVerdict::Kind::UpdateAvailable : UpdateVerdict::Kind::UpToDate,
                       std::move(*newest), std::move(enclosure)};
}

}  // namespace quorvel
