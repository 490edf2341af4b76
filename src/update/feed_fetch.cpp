#include "update/feed_fetch.h"

#include <libsoup/soup.h>

#include <memory>

#include "base/glib_ptr.h"

namespace quorvel {
namespace {

constexpr gsize kReadChunk = 64 * 1024;

struct Fetch {
  GRef<SoupMessage> message;
  GRef<GCancellable> cancellable;
  std::size_t limit;
  std::function<void(const Result<std::string>&)> done;
  GRef<GInputStream> stream;
  std::string body;
};

void readMore(std::unique_ptr<Fetch> fetch);

void chunkRead(GObject* source, GAsyncResult* result, gpointer data) {
  std::unique_ptr<Fetch> fetch(static_cast<Fetch*>(data));
  GErrorHolder error;
  CPtr<GBytes, g_bytes_unref> bytes(g_input_stream_read_bytes_finish(G_INPUT_STREAM(source), result, error.out()));
  if (error) return fetch->done(AppError("The update feed could not be read: " + error.message() + "."));
  gsize size = 0;
  const char* chunk = static_cast<const char*>(g_bytes_get_data(bytes.get(), &size));
  fetch->body.append(chunk, size);
  // Stop reading at once rather than hold a huge body in memory.
  if (size == 0 || fetch->body.size() > fetch->limit) return fetch->done(fetch->body);
  readMore(std::move(fetch));
}

void readMore(std::unique_ptr<Fetch> fetch) {
  GInputStream* stream = fetch->stream.get();
  GCancellable* cancellable = fetch->cancellable.get();
  g_input_stream_read_bytes_async(stream, kReadChunk, G_PRIORITY_DEFAULT, cancellable, chunkRead, fetch.release());
}

void responseArrived(GObject* source, GAsyncResult* result, gpointer data) {
  std::unique_ptr<Fetch> fetch(static_cast<Fetch*>(data));
  GErrorHolder error;
  fetch->stream = GRef<GInputStream>::adopt(soup_session_send_finish(SOUP_SESSION(source), result, error.out()));
  if (!fetch->stream) return fetch->done(AppError("The update feed could not be reached: " + error.message() + "."));
  guint status = soup_message_get_status(fetch->message.get());
  if (status != SOUP_STATUS_OK) {
    return fetch->done(AppError("The update feed answered with HTTP status " + std::to_string(status) + "."));
  }
  readMore(std::move(fetch));
}

}  // namespace

void fetchFeed(SoupSession* session, SoupMessage* message, GCancellable* cancellable, std::size_t limit,
               std::function<void(const Result<std::string>& body)> done) {
  auto* fetch = new Fetch{GRef<SoupMessage>::retain(message), GRef<GCancellable>::retain(cancellable), limit,
                          std::move(done), {}, {}};
  soup_session_send_async(session, message, G_PRIORITY_DEFAULT, cancellable, responseArrived, fetch);
}

}  // namespace quorvel
