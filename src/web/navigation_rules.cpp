#include "web/navigation_rules.h"

#include <glib.h>

#include "base/glib_ptr.h"

namespace quorvel {
namespace {

using UriPtr = CPtr<GUri, g_uri_unref>;

// The schemes WebKit loads by itself; anything else is the desktop's business.
bool webKitLoads(const char* scheme) {
  for (const char* loadable : {"http", "https", "blob"}) {
    if (g_strcmp0(scheme, loadable) == 0) return true;
  }
  return false;
}

}  // namespace

LocalOrigin originOf(const std::string& baseURL, std::int64_t port) {
  UriPtr uri(g_uri_parse(baseURL.c_str(), G_URI_FLAGS_NONE, nullptr));
  const char* host = uri ? g_uri_get_host(uri.get()) : nullptr;
  return {host ? host : "", port};
}

bool isLocal(const OptionalURL& url, const LocalOrigin& origin) {
  if (!url) return true;
  UriPtr uri(g_uri_parse(url->c_str(), G_URI_FLAGS_NONE, nullptr));
  if (!uri) return false;
  // The scheme is not compared: only the host, exactly, and an explicit port.
  const char* host = g_uri_get_host(uri.get());
  if (g_strcmp0(host, origin.host.c_str()) == 0 && g_uri_get_port(uri.get()) == origin.port) return true;
  const char* scheme = g_uri_get_scheme(uri.get());
  return g_strcmp0(scheme, "about") == 0 || g_strcmp0(scheme, "data") == 0;
}

Navigation decideNavigationAction(const OptionalURL& url, const LocalOrigin& origin) {
  if (isLocal(url, origin)) return Navigation::Allow;
  UriPtr uri(g_uri_parse(url->c_str(), G_URI_FLAGS_NONE, nullptr));
  if (uri && g_strcmp0(g_uri_get_scheme(uri.get()), "file") == 0) return Navigation::Ignore;
  return uri && webKitLoads(g_uri_get_scheme(uri.get())) ? Navigation::Allow : Navigation::HandToDesktop;
}

Navigation decideResponse(const std::string& url, bool mainFrameMainResource, const LocalOrigin& origin) {
  return !mainFrameMainResource || isLocal(url, origin) ? Navigation::Allow : Navigation::HandToDesktop;
}

NewWindow decideNewWindow(const OptionalURL& url, const LocalOrigin& origin) {
  if (!url) return NewWindow::Nothing;
  return isLocal(url, origin) ? NewWindow::LoadHere : NewWindow::HandToDesktop;
}

}  // namespace quorvel
