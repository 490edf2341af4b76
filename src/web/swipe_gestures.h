#pragma once
// WebKit's back/forward swipe, on while the display has a device that can swipe: a
// touchpad or a touchscreen. While the swipe is on, WebKitGTK keeps a snapshot of
// the whole view for every page left (about 7 MB each at 1280 x 860, hundreds of MB
// after a hundred pages), for the swipe to show; with no such device nobody can
// swipe, and the snapshots are only a cost. A device plugged in later turns it on.

#include "base/glib_ptr.h"

typedef struct _GdkSeat GdkSeat;
typedef struct _WebKitWebView WebKitWebView;

namespace quorvel {

class SwipeGestures {
 public:
  explicit SwipeGestures(WebKitWebView* webView);
  SwipeGestures(const SwipeGestures&) = delete;
  SwipeGestures& operator=(const SwipeGestures&) = delete;

 private:
  void update();

  GRef<WebKitWebView> webView_;
  GRef<GdkSeat> seat_;
  SignalConnections connections_;
};

}  // namespace quorvel
