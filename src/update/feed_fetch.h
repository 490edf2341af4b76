#pragma once
// The update feed's text over HTTP: the whole body, or once it passes `limit`
// what has come so far (the feed's judge refuses it then), or why it could not
// be had.

#include <cstddef>
#include <functional>
#include <string>

#include "base/app_error.h"

typedef struct _GCancellable GCancellable;
typedef struct _SoupMessage SoupMessage;
typedef struct _SoupSession SoupSession;

namespace quorvel {

void fetchFeed(SoupSession* session, SoupMessage* message, GCancellable* cancellable, std::size_t limit,
               std::function<void(const Result<std::string>& body)> done);

}  // namespace quorvel
