#include "web/navigation_rules.h"

namespace quorvel {
namespace {

// The schemes WebKit loads by itself; anything else is the desktop's business.
bool webKitLoads(const char* scheme) {
  for (const char* loadable : {"http", "https", "blob"}) {
    if (g_strcmp0(scheme, loadable) == 0) return true;
  }
  return false;
}

}  // namespace

UriPtr parsePageURL(const std::string& url) {
  const auto lenient = static_cast<GUriFlags>(G_URI_FLAGS_PARSE_RELAXED | G_URI_FLAGS_ENCODED);
  return UriPtr(g_uri_parse(url.c_str(), lenient, nullptr));
}

LocalOrigin originOf(const std::string& baseURL, std::int64_t port) {
  UriPtr uri(g_uri_parse(baseURL.c_str(), G_URI_FLAGS_NONE, nullptr));
  const char* host = uri ? g_uri_get_host(uri.get()) : nullptr;
  return {host ? host : "", port};
}

bool isLocal(const OptionalURL& url, const LocalOrigin& origin) {
  if (!url) return true;
  UriPtr uri = parsePageURL(*url);
  if (!uri) return false;
  // The scheme is not compared: only the host, exactly, and an explicit port.
  const char* host = g_uri_get_host(uri.get());
  if (g_strcmp0(host, origin.host.c_str()) == 0 && g_uri_get_port(uri.get()) == origin.port) return true;
  const char* scheme = g_uri_get_scheme(uri.get());
  return g_strcmp0(scheme, "about") == 0 || g_strcmp0(scheme, "data") == 0;
}

Navigation decideNavigationAction(const OptionalURL& url, const LocalOrigin& origin, bool userStarted) {
  if (isLocal(url, origin)) return Navigation::Allow;
  UriPtr uri = parsePageURL(*url);
  const char* scheme = uri ? g_uri_get_scheme(uri.get()) : nullptr;
  // The server's pages cannot ask for a file: URL; it is a file dropped on a page
  // that did not take it, which WebKit would show in place of the application.
  if (g_strcmp0(scheme, "file") == 0) return Navigation::Drop;
  if (webKitLoads(scheme)) return Navigation::Allow;
  return userStarted ? Navigation::HandToDesktop : Navigation::Drop;
}

Navigation decideResponse(const std::string& url, bool mainFrameMainResource, const LocalOrigin& origin) {
  return !mainFrameMainResource || isLocal(url, origin) ? Navigation::Allow : Navigation::HandToDesktop;
}

NewWindow decideNewWindow(const OptionalURL& url, const LocalOrigin& origin) {
  if (!url) return NewWindow::Nothing;
  return isLocal(url, origin) ? NewWindow::LoadHere : NewWindow::HandToDesktop;
}

}  // namespace quorvel
