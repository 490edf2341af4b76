#pragma once
// The server's own origin, decided in one place: whether a URL is one of the
// server's pages is asked of it alone, by navigation, new windows, the page to
// come back to, the token's cookie, permissions, the context menu and downloads.

#include <cstdint>
#include <optional>
#include <string>

#include "base/glib_ptr.h"

namespace quorvel {

inline constexpr std::int64_t kDefaultPort = 3789;

// A URL from a page, parsed as leniently as WebKit takes it: a bare '%' and
// escapes that are not UTF-8 stay as they are; http's default port is 80. Null
// when it is not an absolute URL.
UriPtr parsePageURL(const std::string& url);

class LocalOrigin {
 public:
  // http on 127.0.0.1, the literal loopback address the server listens on, at
  // `port` when it is one a server can listen on (1 to 65535).
  static std::optional<LocalOrigin> onPort(std::int64_t port);
  LocalOrigin() : LocalOrigin("127.0.0.1", kDefaultPort) {}

  const std::string& scheme() const { return scheme_; }
  const std::string& host() const { return host_; }
  std::uint16_t port() const { return port_; }
  // As a web origin is written: "http://127.0.0.1:3789", the port left out when it is 80.
  std::string text() const;

  // The one predicate: http on exactly this host and port, without a user name
  // (which a parser may read differently from WebKit), or a blob: made by a page
  // of this origin. Any other scheme, host or port is foreign.
  bool isLocal(const std::string& url) const;

 private:
  LocalOrigin(std::string host, std::uint16_t port) : host_(std::move(host)), port_(port) {}

  std::string scheme_ = "http";
  std::string host_;
  std::uint16_t port_;
};

}  // namespace quorvel
