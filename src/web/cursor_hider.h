#pragma once
// Hides the pointer while an element of the page is in full screen and the
// pointer rests; the next movement brings it back.

#include <webkit/webkit.h>

#include <memory>

#include "base/glib_ptr.h"
#include "web/cursor_idle.h"

namespace quorvel {

class FullscreenCursorHider {
 public:
  explicit FullscreenCursorHider(WebKitWebView* webView);
  ~FullscreenCursorHider();
  FullscreenCursorHider(const FullscreenCursorHider&) = delete;
  FullscreenCursorHider& operator=(const FullscreenCursorHider&) = delete;

 private:
  // Entering and exiting count as not in full screen.
  enum class Fullscreen { Not, Entering, In, Exiting };

  void tick();
  Point pointer() const;
  void fullscreenChanged();

  GRef<WebKitWebView> webView_;  // held, so the handlers can always be taken off
  Fullscreen state_ = Fullscreen::Not;
  std::unique_ptr<CursorIdle> idle_;
  GRef<GtkEventController> motion_;
  bool cursorHidden_ = false;
  unsigned timer_ = 0;
};

}  // namespace quorvel
