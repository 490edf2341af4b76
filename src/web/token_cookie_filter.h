#pragma once
// Keeps the launch token's cookie, and every cookie of the loopback address, to
// the server's own requests, through a WebKit content filter: requests to other
// local ports carry no cookie, and neither do requests to the server that a frame
// of another origin makes (its fetch, image, form or its own navigation). WebKit
// judges SameSite by the window's page, not the frame's, so the cookie's own
// attributes cannot do this.
//
// One hole remains: a new iframe's first load reports its frame as about:blank,
// whoever made it, so a foreign frame's iframe of the server's page (or a form it
// posts into one) still carries the cookie. The server's Origin check covers it.

#include <functional>
#include <memory>
#include <string>

#include "launch/local_origin.h"

typedef struct _WebKitWebView WebKitWebView;

namespace quorvel {

// The content filter's rules for `origin`, as WebKit's content-blocker JSON.
std::string tokenCookieRules(const LocalOrigin& origin);

class TokenCookieFilter {
 public:
  // Compiled the first time into `storeDir` (WebKit does it off the main thread),
  // loaded from there afterwards.
  TokenCookieFilter(WebKitWebView* webView, const LocalOrigin& origin, const std::string& storeDir);
  ~TokenCookieFilter();
  TokenCookieFilter(const TokenCookieFilter&) = delete;
  TokenCookieFilter& operator=(const TokenCookieFilter&) = delete;

  // Runs `then` once the filter is in place (or could not be made), at once if
  // it is; a later call replaces one still waiting.
  void whenReady(std::function<void()> then);

  struct State;

 private:
  std::shared_ptr<State> state_;
};

}  // namespace quorvel
