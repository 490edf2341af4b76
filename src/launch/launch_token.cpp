#include "launch/launch_token.h"

#include <glib.h>

namespace quorvel {

LaunchToken::LaunchToken() : LaunchToken(RandomSource(systemRandom)) {}

LaunchToken::LaunchToken(const RandomSource& source) {
  if (!randomHex(source, byteCount, value_)) {
    g_error("Couldn't make a launch token");
  }
}

std::map<std::string, std::string> LaunchToken::environment() const {
  return {{std::string(environmentName), value_}};
}

HttpRequest LaunchToken::request(const std::string& url) const {
  HttpRequest request;
  request.url = url;
  request.headers.emplace_back(std::string(headerName), value_);
  return request;
}

}  // namespace quorvel
