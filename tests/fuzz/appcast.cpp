// An update feed from the network. The input's first three lines are versions (this
// copy's first), the rest is the feed's body.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "update/update_feed.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view rest(reinterpret_cast<const char*>(data), size);
  std::string v[3];
  for (std::string& version : v) {
    version = rest.substr(0, rest.find('\n'));
    rest.remove_prefix(std::min(version.size() + 1, rest.size()));
  }
  auto verdict = quorvel::judgeFeed(v[0], rest);
  if (verdict.ok()) v[2] = verdict.value().newest.version;
  int order[3][3];
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) order[i][j] = quorvel::compareVersions(v[i], v[j]);
  }
  // The newest item is only well defined if versions are totally ordered.
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) {
      if (order[i][j] != -order[j][i]) __builtin_trap();
      for (int k = 0; k < 3; ++k) {
        if (order[i][j] <= 0 && order[j][k] <= 0 && order[i][k] > 0) __builtin_trap();
      }
    }
  }
  return 0;
}
