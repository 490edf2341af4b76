#pragma once
// Tells the page whether the computer has a network: the session cookie
// "offline=1" while it has none, and a "connection:changed" event on the document
// after each change of the cookie.

#include <gio/gio.h>

#include <optional>
#include <string>

#include "base/glib_ptr.h"

typedef struct _WebKitWebView WebKitWebView;

namespace quorvel {

class ConnectionWatcher {
 public:
  // Sent once the page itself sees the new cookie: the cookie store has finished
  // before the page's own copy of its cookies catches up (at most a second).
  static std::string changedScript(bool offline);

  // `host` is the server's, for the cookie. The first state is passed on at once.
  ConnectionWatcher(WebKitWebView* webView, std::string host);
  ConnectionWatcher(const ConnectionWatcher&) = delete;
  ConnectionWatcher& operator=(const ConnectionWatcher&) = delete;

 private:
  void update(bool offline);

  WeakOwner<WebKitWebView> webView_;
  std::string host_;
  std::optional<bool> offline_;  // what the page was last told
  GRef<GNetworkMonitor> monitor_;
  SignalConnections connections_;
};

}  // namespace quorvel
