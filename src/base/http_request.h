#pragma once
// A plain description of one HTTP request, built without any HTTP library so
// that it can be made and inspected anywhere; HttpProbe sends it.

#include <chrono>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace quorvel {

struct HttpRequest {
  std::string url;
  std::string method = "GET";
  std::vector<std::pair<std::string, std::string>> headers;
  std::chrono::milliseconds timeout{60000};

  std::optional<std::string> header(const std::string& name) const {
    for (const auto& [key, value] : headers) {
      if (key == name) return value;
    }
    return std::nullopt;
  }
};

}  // namespace quorvel
