#include "server/http_probe.h"

#include <libsoup/soup.h>

#include <algorithm>

#include "base/glib_ptr.h"

namespace quorvel {

struct HttpProbe::Impl {
  GRef<SoupSession> session;
};

HttpProbe::HttpProbe() : impl_(std::make_unique<Impl>()) {
  // No proxy: a proxy from the environment must never stand between Quorvel and
  // its own loopback server.
  impl_->session = GRef<SoupSession>::adopt(
      SOUP_SESSION(g_object_new(SOUP_TYPE_SESSION, "proxy-resolver", nullptr, nullptr)));
}

HttpProbe::~HttpProbe() = default;

std::optional<int> HttpProbe::status(const HttpRequest& request) {
  auto message = GRef<SoupMessage>::adopt(soup_message_new(request.method.c_str(), request.url.c_str()));
  if (!message) return std::nullopt;
  SoupMessageHeaders* headers = soup_message_get_request_headers(message.get());
  for (const auto& [name, value] : request.headers) {
    soup_message_headers_replace(headers, name.c_str(), value.c_str());
  }
  // libsoup counts its timeout in whole seconds; round up so it never cuts short.
  auto seconds = (request.timeout.count() + 999) / 1000;
  soup_session_set_timeout(impl_->session.get(), static_cast<guint>(std::max<long long>(1, seconds)));

  GErrorHolder error;
  auto body = GRef<GInputStream>::adopt(
      soup_session_send(impl_->session.get(), message.get(), nullptr, error.out()));
  if (!body) return std::nullopt;
  g_input_stream_close(body.get(), nullptr, nullptr);
  guint code = soup_message_get_status(message.get());
  // Codes below 100 are libsoup's own transport failures, never an HTTP answer.
  if (code < 100) return std::nullopt;
  return static_cast<int>(code);
}

}  // namespace quorvel
