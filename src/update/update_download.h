#pragma once
// Fetches an update package into a private temporary file and checks it before
// anyone else sees it: its size against the feed's length, then its signature.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "base/app_error.h"
#include "update/update_signature.h"

typedef struct _SoupSession SoupSession;

namespace quorvel {

class UpdateDownload {
 public:
  struct Events {
    std::function<void(double fraction)> progress;
    // The verified file, now the receiver's to remove; or why there is none (no file left behind).
    std::function<void(const Result<std::string>& path)> done;
  };

  // Starts at once; `done` is called once, from the main loop, unless this goes first.
  UpdateDownload(SoupSession* session, const std::string& url, std::uint64_t length, const PublicKey& key,
                 const Signature& signature, Events events);
  // Cancels a download under way and removes its file.
  ~UpdateDownload();
  UpdateDownload(const UpdateDownload&) = delete;
  UpdateDownload& operator=(const UpdateDownload&) = delete;

  struct State;

 private:
  std::shared_ptr<State> state_;
};

}  // namespace quorvel
