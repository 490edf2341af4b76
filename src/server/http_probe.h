#pragma once
// Sends readiness requests with libsoup, synchronously, on the calling thread.
// Make one per thread; it keeps its connection pool between requests.

#include <memory>
#include <optional>

#include "base/http_request.h"

namespace quorvel {

class HttpProbe {
 public:
  HttpProbe();
  ~HttpProbe();
  HttpProbe(const HttpProbe&) = delete;
  HttpProbe& operator=(const HttpProbe&) = delete;

  // The HTTP status of the answer, or nothing when no HTTP answer came within the
  // request's timeout (refused, silent, not HTTP, ...). The body is not read.
  std::optional<int> status(const HttpRequest& request);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace quorvel
