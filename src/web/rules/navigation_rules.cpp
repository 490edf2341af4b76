#include "web/rules/navigation_rules.h"

namespace quorvel {
namespace {

std::string schemeOf(const std::string& url) {
  UriPtr uri = parsePageURL(url);
  const char* scheme = uri ? g_uri_get_scheme(uri.get()) : nullptr;
  return scheme ? scheme : "";
}

bool isWeb(const std::string& scheme) { return scheme == "http" || scheme == "https"; }

// Loaded by WebKit itself, never by another program: the desktop cannot open a
// blob: or data: that lives in this window, nor about: or javascript:.
bool isWebKits(const std::string& scheme) {
  return scheme == "blob" || scheme == "data" || scheme == "about" || scheme == "javascript" || scheme == "file";
}

}  // namespace

Navigation decideNavigationAction(const OptionalURL& url, const LocalOrigin& origin, bool userStarted) {
  if (!url || origin.isLocal(*url)) return Navigation::Allow;
  const std::string scheme = schemeOf(*url);
  // The server's pages cannot ask for a file: URL; it is a file dropped on a page
  // that did not take it, which WebKit would show in place of the application.
  if (scheme == "file" || scheme == "javascript" || scheme.empty()) return Navigation::Drop;
  if (isWeb(scheme) || isWebKits(scheme)) return Navigation::Allow;
  return userStarted ? Navigation::HandToDesktop : Navigation::Drop;
}

Navigation decideResponse(const std::string& url, bool mainFrameMainResource, const LocalOrigin& origin) {
  if (!mainFrameMainResource || origin.isLocal(url)) return Navigation::Allow;
  return isWeb(schemeOf(url)) ? Navigation::HandToDesktop : Navigation::Drop;
}

bool savedAsDownload(const std::string& url, const LocalOrigin& origin, bool showable, bool attachment) {
  return origin.isLocal(url) && (!showable || attachment);
}

NewWindow decideNewWindow(const OptionalURL& url, const LocalOrigin& origin, bool userStarted) {
  if (!url) return NewWindow::Nothing;
  if (origin.isLocal(*url)) return NewWindow::LoadHere;
  const std::string scheme = schemeOf(*url);
  if (isWeb(scheme)) return NewWindow::HandToDesktop;
  return userStarted && !scheme.empty() && !isWebKits(scheme) ? NewWindow::HandToDesktop : NewWindow::Nothing;
}

bool loadsWithToken(const std::string& url, const LocalOrigin& origin) {
  return origin.isLocal(url) && schemeOf(url) == origin.scheme();
}

}  // namespace quorvel
