#pragma once
// Trims WebKit's context menu to the one web_rules' pageMenu() decides, with
// Quorvel's own "Open Link". A page that handles "contextmenu" itself
// (preventDefault) gets no native menu: WebKit then never asks.

#include <gio/gio.h>

#include "base/glib_ptr.h"
#include "web/rules/navigation_rules.h"

typedef struct _WebKitWebView WebKitWebView;

namespace quorvel {

class PageContextMenu {
 public:
  PageContextMenu(WebKitWebView* webView, LocalOrigin origin, bool inspector);
  PageContextMenu(const PageContextMenu&) = delete;
  PageContextMenu& operator=(const PageContextMenu&) = delete;

 private:
  WebKitWebView* webView_;
  LocalOrigin origin_;
  bool inspector_;
  GRef<GSimpleAction> openLink_;  // its parameter: the link's URL
  SignalConnections connections_;
};

}  // namespace quorvel
