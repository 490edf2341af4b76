// libFuzzer targets, one per parser of outside input, chosen by FUZZ_<name> (see
// CMakeLists.txt). Beyond crashes and sanitizer reports, each checks a property
// that the code around the parser relies on.

#include <algorithm>
#include <cstdlib>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "launch/launch_settings.h"
#include "server/secret_key_base.h"
#include "server/stale_cleanup.h"
#include "shell/model/window_state.h"
#include "update/update_feed.h"
#include "update/update_signature.h"
#include "web/rules/navigation_rules.h"
#include "web/rules/zoom_levels.h"

using namespace quorvel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view input(reinterpret_cast<const char*>(data), size);
#if defined(FUZZ_info_port)
  // Info.plist, XML or binary, through libplist.
  auto info = parseInfoDictionary(input);
  portFromInfo(info);
  infoNumber(info, "SUScheduledCheckInterval");
#elif defined(FUZZ_pid_file)
  parsePidFile(input);
#elif defined(FUZZ_secret_key_base)
  // A kept secret is read again at every launch and must stay the same.
  auto secret = parseSecretKeyBase(input);
  if (secret && (input.find(*secret) == input.npos || parseSecretKeyBase(*secret) != secret)) __builtin_trap();
#elif defined(FUZZ_window_state)
  // Whatever was read is saved at quit and must come back as it was.
  WindowState state = parseWindowState(std::string(input));
  if (parseWindowState(serializeWindowState(state)) != state) __builtin_trap();
#elif defined(FUZZ_appcast)
  // Three lines of versions (this copy's first), then the feed's body.
  std::string v[3];
  for (std::string& version : v) {
    version = input.substr(0, input.find('\n'));
    input.remove_prefix(std::min(version.size() + 1, input.size()));
  }
  auto verdict = judgeFeed(v[0], input, "debian-12");
  if (verdict.ok()) v[2] = verdict.value().newest.version;
  int order[3][3];
  for (int i = 0; i < 9; ++i) order[i / 3][i % 3] = compareVersions(v[i / 3], v[i % 3]);
  // The newest item is only well defined if versions are totally ordered.
  for (int i = 0; i < 27; ++i) {
    const int a = i / 9, b = i / 3 % 3, c = i % 3;
    if (order[a][b] != -order[b][a] || (order[a][b] <= 0 && order[b][c] <= 0 && order[a][c] > 0)) __builtin_trap();
  }
#elif defined(FUZZ_enclosure)
  // The running release on the first line, then the feed: whatever is chosen is a
  // Debian package for Linux, for this release when the item has one, else for every release.
  const std::string release(input.substr(0, input.find('\n')));
  input.remove_prefix(std::min(release.size() + 1, input.size()));
  auto items = parseAppcast(input);
  if (!items.ok()) return 0;
  for (const FeedItem& item : items.value()) {
    auto chosen = chooseEnclosure(item, release);
    const bool named = std::any_of(item.enclosures.begin(), item.enclosures.end(), [&](const Enclosure& e) {
      return !release.empty() && e.release == release && e.type == kDebianPackageType && e.os == "linux"; });
    if (!chosen) continue;
    if (chosen->type != kDebianPackageType || chosen->os != "linux" ||
        (chosen->release != release && (named || !chosen->release.empty()))) __builtin_trap();
    if (!whyNotInstallable(PublicKey{}, *chosen) && !(parseSignature(chosen->signature) && parseLength(chosen->length))) __builtin_trap();
  }
#elif defined(FUZZ_page_zoom)
  // A stored zoom is clamped, applied and saved again: that must read back as itself.
  if (auto zoom = parseZoomText(input)) {
    auto applied = clampZoom(*zoom);
    if (!applied || parseZoomText(formatZoom(*applied)) != applied) __builtin_trap();
  }
#elif defined(FUZZ_navigation)
  // Any URL a page names gets a decision; any path on the server's own origin stays (WebKit's
  // hold no white space or control character); and the
  // token goes with no other: what is loaded with it is http on 127.0.0.1:3789 itself.
  const LocalOrigin server = *LocalOrigin::onPort(3789);
  const std::string url(input.substr(0, input.find('\0')));  // WebKit hands over C strings
  decideNavigationAction(url, server, false);
  if (std::none_of(url.begin(), url.end(), [](unsigned char c) { return c <= ' ' || c == 0x7f; }) &&
      !server.isLocal("http://127.0.0.1:3789/" + url)) __builtin_trap();
  if (loadsWithToken(url, server) && (g_ascii_strncasecmp(url.c_str(), "http://127.0.0.1:", 17) != 0 ||
                                      std::strtol(url.c_str() + 17, nullptr, 10) != 3789 ||
                                      url.find('@') < url.find_first_of("/?#", 17))) __builtin_trap();
#else
#error "Name the target: -DFUZZ_<name>"
#endif
  return 0;
}
