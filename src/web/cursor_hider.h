#pragma once
// Hides the pointer while an element of the page is in full screen and the
// pointer rests; the next movement brings it back. The pointer is sampled only
// while an element is in full screen: at rest, nothing here wakes.

#include <memory>

#include "base/glib_ptr.h"
#include "web/rules/cursor_idle.h"

typedef struct _GtkEventController GtkEventController;
typedef struct _GtkWindow GtkWindow;
typedef struct _WebKitWebView WebKitWebView;

namespace quorvel {

class FullscreenCursorHider {
 public:
  explicit FullscreenCursorHider(WebKitWebView* webView);
  ~FullscreenCursorHider();
  FullscreenCursorHider(const FullscreenCursorHider&) = delete;
  FullscreenCursorHider& operator=(const FullscreenCursorHider&) = delete;

 private:
  void changed(FullScreenEvent event);
  void tick();
  void showCursor();
  Point pointer() const;
  GtkWindow* window() const;

  GRef<WebKitWebView> webView_;
  FullScreen state_ = FullScreen::Not;
  std::unique_ptr<CursorIdle> idle_;
  GRef<GtkEventController> motion_;
  SignalConnections connections_;
  bool windowWatched_ = false;
  bool cursorHidden_ = false;
  unsigned timer_ = 0;
};

}  // namespace quorvel
