#include "web/rules/download_name.h"

#include <algorithm>
#include <climits>

#include <glib.h>

namespace quorvel {
namespace {

// Room for the 13 bytes the temporary ".NAME.XXXXXX.part" adds and the 11 of
// ".wkdownload", the file WebKit writes beside it and moves onto it at the end:
// more than any numbered name's " (9999)".
constexpr std::size_t kLongestName = NAME_MAX - 13 - 11;

// At most `bytes` of `text`, ending on a character boundary.
std::string cutUtf8(const std::string& text, std::size_t bytes) {
  if (text.size() <= bytes) return text;
  const char* end = g_utf8_find_prev_char(text.c_str(), text.c_str() + bytes + 1);
  return text.substr(0, end ? static_cast<std::size_t>(end - text.c_str()) : bytes);
}

// A legal but long name is shortened from the end of its stem, keeping the
// extension; one that leaves no room for a character of the stem is cut as a whole.
std::string shortened(const std::string& name) {
  if (name.size() <= kLongestName) return name;
  const std::size_t dot = std::min(name.rfind('.'), name.size());
  const std::string stem = cutUtf8(name.substr(0, dot), kLongestName - std::min(name.size() - dot, kLongestName));
  return stem.empty() ? cutUtf8(name, kLongestName) : stem + name.substr(dot);
}

}  // namespace

std::string safeDownloadName(const std::string& suggested) {
  std::string name = suggested.substr(suggested.find_last_of('/') + 1);
  std::erase_if(name, [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7f; });
  name.erase(0, name.find_first_not_of('.'));
  name = shortened(name);
  return name.empty() ? "download" : name;
}

std::string numberedName(const std::string& name, int n) {
  if (n == 0) return name;
  auto dot = name.rfind('.');
  if (dot == std::string::npos || dot == 0) dot = name.size();
  return name.substr(0, dot) + " (" + std::to_string(n) + ")" + name.substr(dot);
}

}  // namespace quorvel
