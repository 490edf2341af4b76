#pragma once
// Which pages stay in the window and which go to the desktop: pure functions of
// the URL, whether the user started it and the server's origin, so a table can
// test them.

#include <optional>
#include <string>

#include "launch/local_origin.h"

namespace quorvel {

using OptionalURL = std::optional<std::string>;

enum class Navigation {
  Allow,          // load it here
  HandToDesktop,  // open it with the desktop's default handler, and not here
  Drop,           // nothing happens: the page stays as it is
};

// A navigation action as WebKitGTK reports it, without knowing the frame: local
// URLs (and an absent one) load, and so do others WebKit loads itself (http,
// https, blob, data, about), until their response shows whether they are the main
// frame's. A file: URL is dropped (see the rule). Another program's URL (mailto:,
// magnet:, ...) goes to the desktop only when the user started the navigation
// (a gesture: a script's click is not one): a foreign frame must not launch
// programs by itself.
Navigation decideNavigationAction(const OptionalURL& url, const LocalOrigin& origin, bool userStarted);

// The response to a navigation: the main frame's main resource stays only if
// local; a foreign web page goes to the browser, anything else (a data: page, a
// foreign blob) nowhere.
Navigation decideResponse(const std::string& url, bool mainFrameMainResource, const LocalOrigin& origin);

// A response allowed above, saved as a download instead: only the server's, when
// the window cannot show its type or the server sends it as an attachment. A
// foreign frame's download is not saved.
bool savedAsDownload(const std::string& url, const LocalOrigin& origin, bool showable, bool attachment);

enum class NewWindow {
  Nothing,        // nothing to open
  LoadHere,       // replace the current page
  HandToDesktop,
};

// A request for a new window, or the context menu's "Open Link" (which the user
// always started): never a second window. Only the server's pages load here; a
// data:, about: or javascript: page, which a foreign frame could have written,
// never does.
NewWindow decideNewWindow(const OptionalURL& url, const LocalOrigin& origin, bool userStarted);

// A page that may be loaded with the launch token, and so kept as the page to
// come back to: one of the server's own http pages (a blob dies with its page).
bool loadsWithToken(const std::string& url, const LocalOrigin& origin);

}  // namespace quorvel
