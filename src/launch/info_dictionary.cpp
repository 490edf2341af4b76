#include "launch/info_dictionary.h"

#include <glib.h>
#include <glib/gstdio.h>
#include <plist/plist.h>

#include <sys/stat.h>

#include <cstdlib>
#include <cstring>

#include "base/glib_ptr.h"

namespace quorvel {
namespace {

// An information dictionary is a few kilobytes; anything far larger is not one.
constexpr gsize kMaxInfoPlistBytes = 8 * 1024 * 1024;

using PlistPtr = CPtr<void, plist_free>;

struct PlistString {
  char* text = nullptr;
  ~PlistString() { if (text) free(text); }
};

InfoValue convert(plist_t node) {
  switch (plist_get_node_type(node)) {
    case PLIST_STRING: {
      PlistString s;
      plist_get_string_val(node, &s.text);
      return std::string(s.text ? s.text : "");
    }
    case PLIST_BOOLEAN: {
      uint8_t b = 0;
      plist_get_bool_val(node, &b);
      return b != 0;
    }
    case PLIST_UINT: {
      // libplist keeps negative integers as their two's complement in a UINT node.
      uint64_t u = 0;
      plist_get_uint_val(node, &u);
      return static_cast<std::int64_t>(u);
    }
    case PLIST_REAL: {
      double d = 0;
      plist_get_real_val(node, &d);
      return d;
    }
    default:
      return OtherPlistValue{};
  }
}

void freeXml(char* text) {
#ifdef QUORVEL_PLIST_2_3
  plist_mem_free(text);
#else
  plist_to_xml_free(text);
#endif
}

// libplist 2.2 aborts on an assertion when asked for a key or string holding U+0000,
// which a binary list can carry (UTF-16). Its XML form writes such a string whole,
// so the NUL shows there. Can go when libplist reads such strings without aborting.
bool holdsNul(plist_t root) {
  char* text = nullptr;
  uint32_t length = 0;
  plist_to_xml(root, &text, &length);
  CPtr<char, freeXml> xmlText(text);
  return !xmlText || std::memchr(xmlText.get(), '\0', length) != nullptr;
}

}  // namespace

InfoDictionary parseInfoDictionary(std::string_view bytes) {
  InfoDictionary info;
  if (bytes.empty() || bytes.size() > kMaxInfoPlistBytes) return info;
  plist_t raw = nullptr;
#ifdef QUORVEL_PLIST_2_3
  plist_from_memory(bytes.data(), static_cast<uint32_t>(bytes.size()), &raw, nullptr);
#else
  plist_from_memory(bytes.data(), static_cast<uint32_t>(bytes.size()), &raw);
#endif
  PlistPtr root(raw);
  if (!root || plist_get_node_type(root.get()) != PLIST_DICT || holdsNul(root.get())) return info;

  plist_dict_iter it = nullptr;
  plist_dict_new_iter(root.get(), &it);
  if (!it) return info;
  for (;;) {
    char* key = nullptr;
    plist_t value = nullptr;
    plist_dict_next_item(root.get(), it, &key, &value);
    if (!value) {
      if (key) free(key);
      break;
    }
    if (key) {
      info.insert_or_assign(key, convert(value));
      free(key);
    }
  }
  free(it);
  return info;
}

InfoDictionary readInfoDictionary(const std::string& path) {
  gchar* contents = nullptr;
  gsize length = 0;
  GStatBuf st;
  if (g_stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) ||
      static_cast<gsize>(st.st_size) > kMaxInfoPlistBytes) {
    return {};
  }
  if (!g_file_get_contents(path.c_str(), &contents, &length, nullptr)) return {};
  GCharPtr owner(contents);
  return parseInfoDictionary(std::string_view(contents, length));
}

std::optional<std::string> infoString(const InfoDictionary& info, const std::string& key) {
  auto it = info.find(key);
  if (it == info.end()) return std::nullopt;
  if (const auto* s = std::get_if<std::string>(&it->second)) return *s;
  return std::nullopt;
}

std::optional<bool> infoBool(const InfoDictionary& info, const std::string& key) {
  auto it = info.find(key);
  if (it == info.end()) return std::nullopt;
  if (const auto* b = std::get_if<bool>(&it->second)) return *b;
  return std::nullopt;
}

std::optional<double> infoNumber(const InfoDictionary& info, const std::string& key) {
  auto it = info.find(key);
  if (it == info.end()) return std::nullopt;
  if (const auto* i = std::get_if<std::int64_t>(&it->second)) return static_cast<double>(*i);
  if (const auto* d = std::get_if<double>(&it->second)) return *d;
  return std::nullopt;
}

}  // namespace quorvel
