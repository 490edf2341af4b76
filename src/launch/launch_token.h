#pragma once
// The per-launch secret shared by Quorvel and the server it starts: in the server's
// environment, in the header of readiness requests, and in the web view's cookie.

#include <map>
#include <string>
#include <string_view>

#include "base/http_request.h"
#include "base/random_bytes.h"

namespace quorvel {

class LaunchToken {
 public:
  static constexpr std::string_view environmentName = "QUORVEL_LAUNCH_TOKEN";
  static constexpr std::string_view headerName = "Launch-Token";
  static constexpr std::string_view cookieName = "launch_token";
  static constexpr std::size_t byteCount = 32;

  // A fresh token from the system's random source. A failing source ends the
  // process: Quorvel never runs with a weak token.
  LaunchToken();
  explicit LaunchToken(const RandomSource& source);

  const std::string& value() const { return value_; }

  // The one entry handed to the server.
  std::map<std::string, std::string> environment() const;

  // A GET of `url` carrying the token header, with a 60-second timeout.
  HttpRequest request(const std::string& url) const;

 private:
  std::string value_;
};

}  // namespace quorvel
