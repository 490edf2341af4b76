#pragma once
// Keeps the server's own pages in the window and hands every other page to the
// desktop, on WebKitGTK's decide-policy, create and load-failed signals. WebKitGTK
// only knows at the response whether a navigation is the main frame's, so a
// foreign http(s) page is let through to its response (or its failure) and stopped
// there; an iframe's foreign page loads inside it. A file dropped on a page that
// does not take it is neither loaded nor handed on.
//
// Local responses the web view cannot show, or sent as attachments, are downloads.

#include "base/glib_ptr.h"
#include "web/rules/navigation_rules.h"

typedef struct _WebKitWebView WebKitWebView;

namespace quorvel {

class NavigationPolicy {
 public:
  NavigationPolicy(WebKitWebView* webView, LocalOrigin origin);
  NavigationPolicy(const NavigationPolicy&) = delete;
  NavigationPolicy& operator=(const NavigationPolicy&) = delete;

 private:
  LocalOrigin origin_;
  SignalConnections connections_;
};

}  // namespace quorvel
