#pragma once
// Which pages stay in the window and which go to the desktop: pure functions of
// the URL, the frame and the server's address, so a table can test them.

#include <cstdint>
#include <optional>
#include <string>

#include "base/glib_ptr.h"

namespace quorvel {

// A URL from a page, parsed as leniently as WebKit takes it: a bare '%' and
// escapes that are not UTF-8 stay as they are. Null when it is not an absolute URL.
UriPtr parsePageURL(const std::string& url);

// The server's own address: baseURL's host and the port from the launch settings.
struct LocalOrigin {
  std::string host;
  std::int64_t port = 0;
};

// The origin of `baseURL` (its host) served on `port`.
LocalOrigin originOf(const std::string& baseURL, std::int64_t port);

using OptionalURL = std::optional<std::string>;

// The server's own pages: an absent URL, one with the origin's host (exactly) and
// an explicit port equal to the origin's, and about: and data: URLs.
bool isLocal(const OptionalURL& url, const LocalOrigin& origin);

enum class Navigation {
  Allow,          // load it here
  HandToDesktop,  // open it with the desktop's default handler, and not here
  Drop,           // nothing happens: the page stays as it is
};

// A navigation action as WebKitGTK reports it, without knowing the frame: local
// URLs load, and so do others WebKit can load itself (http, https, blob), until
// their response shows whether they are the main frame's. A file: URL is dropped
// (see the rule). Another program's URL (mailto:, magnet:, ...) goes to the
// desktop only when the user started the navigation: a foreign frame must not
// launch programs by itself.
Navigation decideNavigationAction(const OptionalURL& url, const LocalOrigin& origin, bool userStarted);

// The response to a navigation: the main frame's main resource stays only if local.
Navigation decideResponse(const std::string& url, bool mainFrameMainResource, const LocalOrigin& origin);

enum class NewWindow {
  Nothing,        // no URL: nothing to open
  LoadHere,       // replace the current page
  HandToDesktop,
};

// A request for a new window: never a second window.
NewWindow decideNewWindow(const OptionalURL& url, const LocalOrigin& origin);

}  // namespace quorvel
