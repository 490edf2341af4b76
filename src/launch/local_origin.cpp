#include "launch/local_origin.h"

#include <algorithm>

namespace quorvel {

UriPtr parsePageURL(const std::string& url) {
  const auto lenient =
      static_cast<GUriFlags>(G_URI_FLAGS_PARSE_RELAXED | G_URI_FLAGS_ENCODED | G_URI_FLAGS_SCHEME_NORMALIZE);
  return UriPtr(g_uri_parse(url.c_str(), lenient, nullptr));
}

std::optional<LocalOrigin> LocalOrigin::onPort(std::int64_t port) {
  if (port < 1 || port > 65535) return std::nullopt;
  return LocalOrigin("127.0.0.1", static_cast<std::uint16_t>(port));
}

std::string LocalOrigin::text() const {
  return scheme_ + "://" + host_ + (port_ == 80 ? "" : ":" + std::to_string(port_));
}

bool LocalOrigin::isLocal(const std::string& url) const {
  // WebKit's URLs hold no white space or control character; GLib would drop some
  // (even inside the host) where WebKit finds no URL.
  if (std::any_of(url.begin(), url.end(), [](unsigned char c) { return c <= ' ' || c == 0x7f; })) return false;
  UriPtr uri = parsePageURL(url);
  // A blob: URL names its maker's origin after the scheme.
  if (uri && g_strcmp0(g_uri_get_scheme(uri.get()), "blob") == 0) uri = parsePageURL(g_uri_get_path(uri.get()));
  // The path must begin right after the port: GLib ends an address at a ';',
  // where WebKit would find no valid port at all.
  return uri && g_strcmp0(g_uri_get_scheme(uri.get()), scheme_.c_str()) == 0 && !g_uri_get_userinfo(uri.get()) &&
         g_strcmp0(g_uri_get_host(uri.get()), host_.c_str()) == 0 && g_uri_get_port(uri.get()) == port_ &&
         g_uri_get_path(uri.get())[0] == '/';
}

}  // namespace quorvel
