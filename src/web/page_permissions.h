#pragma once
// The server's own pages may show notifications without asking: permission is
// granted before their first script runs. Every other request, of any page, is
// refused, and navigator.permissions.query() answers accordingly.

#include "base/glib_ptr.h"
#include "launch/local_origin.h"

typedef struct _WebKitWebView WebKitWebView;

namespace quorvel {

class PagePermissions {
 public:
  // Before the web view's first web process starts, which takes the permissions along.
  PagePermissions(WebKitWebView* webView, LocalOrigin server);
  PagePermissions(const PagePermissions&) = delete;
  PagePermissions& operator=(const PagePermissions&) = delete;

 private:
  LocalOrigin server_;
  SignalConnections connections_;
};

}  // namespace quorvel
