#pragma once
// The page's zoom: stepped through its levels by the View menu and Ctrl + mouse
// wheel, changed freely by a pinch, and found again at the next launch in the
// page-zoom file.

#include <string>

#include "base/glib_ptr.h"

typedef struct _GtkGesture GtkGesture;
typedef struct _WebKitWebView WebKitWebView;

namespace quorvel {

class PageZoom {
 public:
  // Applies the zoom stored at `zoomFile` (before any page loads) and takes over
  // pinch and Ctrl + wheel from WebKit.
  PageZoom(WebKitWebView* webView, std::string zoomFile);
  PageZoom(const PageZoom&) = delete;
  PageZoom& operator=(const PageZoom&) = delete;

  void zoomIn();
  void zoomOut();
  void actualSize();

 private:
  // The one place a zoom is clamped, applied and saved.
  void setZoom(double zoom);

  WebKitWebView* webView_;
  const std::string zoomFile_;
  GRef<GtkGesture> pinch_;
  SignalConnections connections_;
  double lastScale_ = 1.0;  // the pinch's scale at its last change
  double wheelMoved_ = 0.0;  // Ctrl + wheel movement not yet a whole notch
};

}  // namespace quorvel
