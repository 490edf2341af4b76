#include "web/download_name.h"

namespace quorvel {

std::string safeDownloadName(const std::string& suggested) {
  std::string name = suggested.substr(suggested.find_last_of('/') + 1);
  std::erase_if(name, [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7f; });
  name.erase(0, name.find_first_not_of('.'));
  return name.empty() ? "download" : name;
}

std::string numberedName(const std::string& name, int n) {
  if (n == 0) return name;
  auto dot = name.rfind('.');
  if (dot == std::string::npos || dot == 0) dot = name.size();
  return name.substr(0, dot) + " (" + std::to_string(n) + ")" + name.substr(dot);
}

}  // namespace quorvel
