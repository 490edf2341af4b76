#include "update/update_download.h"

#include <gio/gio.h>
#include <glib/gstdio.h>
#include <libsoup/soup.h>

#include "base/glib_ptr.h"
#include "base/unique_fd.h"

namespace quorvel {
namespace {

constexpr gsize kReadChunk = 64 * 1024;

}  // namespace

struct UpdateDownload::State : std::enable_shared_from_this<State> {
  std::uint64_t length = 0;
  PublicKey key{};
  Signature signature{};
  Events events;
  GRef<GCancellable> cancellable = GRef<GCancellable>::adopt(g_cancellable_new());
  GRef<SoupMessage> message;
  GRef<GInputStream> body;
  UniqueFd file;
  std::string path;  // the temporary file, until it is removed or handed on
  std::uint64_t received = 0;

  ~State() {
    g_cancellable_cancel(cancellable.get());
    discard();
  }

  void discard() {
    file.reset();
    if (!path.empty()) g_unlink(path.c_str());
    path.clear();
  }

  void fail(const std::string& sentence) {
    discard();
    finish(AppError(sentence));
  }

  void finish(const Result<std::string>& result) {
    // The callback may destroy the download, and this with it.
    auto done = std::move(events.done);
    auto keep = shared_from_this();
    if (done) done(result);
  }

  void readMore();
  void chunk(GBytes* bytes);
};

namespace {

using Owner = WeakOwner<UpdateDownload::State>;

void chunkRead(GObject* source, GAsyncResult* result, gpointer data) {
  const Owner owner = Owner::take(data);
  GErrorHolder error;
  CPtr<GBytes, g_bytes_unref> bytes(g_input_stream_read_bytes_finish(G_INPUT_STREAM(source), result, error.out()));
  auto state = owner.get();
  if (!state) return;
  if (!bytes) {
    state->fail("The update could not be downloaded: " + error.message() + ".");
    return;
  }
  state->chunk(bytes.get());
}

void responseArrived(GObject* source, GAsyncResult* result, gpointer data) {
  const Owner owner = Owner::take(data);
  GErrorHolder error;
  auto body = GRef<GInputStream>::adopt(soup_session_send_finish(SOUP_SESSION(source), result, error.out()));
  auto state = owner.get();
  if (!state) return;
  if (!body) {
    state->fail("The update could not be downloaded: " + error.message() + ".");
    return;
  }
  const guint status = soup_message_get_status(state->message.get());
  if (status != SOUP_STATUS_OK) {
    state->fail("The update's address answered with HTTP status " + std::to_string(status) + ".");
    return;
  }
  // Readable and writable by this user only, under a name no one could have chosen beforehand.
  GErrorHolder tmpError;
  gchar* name = nullptr;
  state->file.reset(g_file_open_tmp("quorvel-update-XXXXXX.deb", &name, tmpError.out()));
  state->path = takeString(name);
  if (!state->file) {
    state->fail("The update could not be saved: " + tmpError.message() + ".");
    return;
  }
  state->body = std::move(body);
  state->readMore();
}

}  // namespace

void UpdateDownload::State::readMore() {
  g_input_stream_read_bytes_async(body.get(), kReadChunk, G_PRIORITY_DEFAULT, cancellable.get(), chunkRead,
                                  Owner(weak_from_this()).data());
}

void UpdateDownload::State::chunk(GBytes* bytes) {
  gsize size = 0;
  const auto* data = static_cast<const char*>(g_bytes_get_data(bytes, &size));
  if (size == 0) {
    file.reset();
    body.reset();
    Status verified = verifyDownload(path, length, key, signature);
    if (!verified) {
      fail(verified.error().message());
      return;
    }
    finish(std::exchange(path, {}));
    return;
  }
  received += size;
  // A body longer than promised stops here, before it can fill the disk.
  if (received > length) {
    fail("The downloaded update is larger than the size the feed gives (" + std::to_string(length) + " bytes).");
    return;
  }
  for (gsize written = 0; written < size;) {
    const ssize_t n = write(file.get(), data + written, size - written);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      fail(std::string("The update could not be saved: ") + g_strerror(errno) + ".");
      return;
    }
    written += static_cast<gsize>(n);
  }
  if (events.progress) events.progress(static_cast<double>(received) / static_cast<double>(length));
  readMore();
}

UpdateDownload::UpdateDownload(SoupSession* session, const std::string& url, std::uint64_t length,
                               const PublicKey& key, const Signature& signature, Events events)
    : state_(std::make_shared<State>()) {
  state_->length = length;
  state_->key = key;
  state_->signature = signature;
  state_->events = std::move(events);
  state_->message = GRef<SoupMessage>::adopt(soup_message_new("GET", url.c_str()));
  if (!state_->message) {
    // Reported from the main loop, as every other outcome is.
    g_idle_add_full(
        G_PRIORITY_DEFAULT,
        [](gpointer data) -> gboolean {
          if (auto state = static_cast<Owner*>(data)->get()) state->fail("The update's address is not a valid URL.");
          return G_SOURCE_REMOVE;
        },
        Owner(state_).data(), Owner::free);
    return;
  }
  soup_session_send_async(session, state_->message.get(), G_PRIORITY_DEFAULT, state_->cancellable.get(),
                          responseArrived, Owner(state_).data());
}

UpdateDownload::~UpdateDownload() = default;

}  // namespace quorvel
