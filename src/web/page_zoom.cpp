#include "web/page_zoom.h"

#include <webkit2/webkit2.h>

#include "web/rules/zoom_levels.h"

namespace quorvel {

PageZoom::PageZoom(WebKitWebView* webView, std::string zoomFile)
    : webView_(webView),
      zoomFile_(std::move(zoomFile)),
      pinch_(GRef<GtkGesture>::adopt(gtk_gesture_zoom_new(GTK_WIDGET(webView)))) {
  // The file is not rewritten here, not even when its value had to be clamped.
  if (auto stored = readZoomFile(zoomFile_)) webkit_web_view_set_zoom_level(webView_, *clampZoom(*stored));

  // Claimed in the capture phase, so WebKit's own pinch zoom never runs.
  gtk_event_controller_set_propagation_phase(GTK_EVENT_CONTROLLER(pinch_.get()), GTK_PHASE_CAPTURE);
  connections_.add(pinch_.get(), "begin", G_CALLBACK(+[](GtkGesture* gesture, GdkEventSequence*, PageZoom* self) {
                     gtk_gesture_set_state(gesture, GTK_EVENT_SEQUENCE_CLAIMED);
                     self->lastScale_ = 1.0;
                   }),
                   this);
  connections_.add(pinch_.get(), "scale-changed", G_CALLBACK(+[](GtkGestureZoom*, double scale, PageZoom* self) {
                     self->setZoom(pinchedZoom(webkit_web_view_get_zoom_level(self->webView_), scale, self->lastScale_));
                     self->lastScale_ = scale;
                   }),
                   this);
  // Ctrl + wheel zooms instead of scrolling: one notch, one step; a touchpad's
  // smooth scrolling counts in notches too.
  connections_.add(webView, "scroll-event", G_CALLBACK(+[](GtkWidget*, GdkEventScroll* event, PageZoom* self) -> gboolean {
                     if (!(event->state & GDK_CONTROL_MASK)) return FALSE;
                     double delta = event->direction == GDK_SCROLL_UP     ? -1
                                    : event->direction == GDK_SCROLL_DOWN ? 1
                                    : event->direction == GDK_SCROLL_SMOOTH ? event->delta_y
                                                                            : 0;
                     for (int n = wheelNotches(self->wheelMoved_, delta); n != 0; n += n < 0 ? 1 : -1) {
                       if (n < 0) self->zoomIn();
                       if (n > 0) self->zoomOut();
                     }
                     return TRUE;
                   }),
                   this);
}

void PageZoom::zoomIn() { setZoom(zoomInFrom(webkit_web_view_get_zoom_level(webView_))); }
void PageZoom::zoomOut() { setZoom(zoomOutFrom(webkit_web_view_get_zoom_level(webView_))); }
void PageZoom::actualSize() { setZoom(1.0); }

void PageZoom::setZoom(double zoom) {
  auto clamped = clampZoom(zoom);
  if (!clamped) return;
  webkit_web_view_set_zoom_level(webView_, *clamped);
  if (auto saved = saveZoomFile(zoomFile_, webkit_web_view_get_zoom_level(webView_)); !saved) {
    g_warning("Couldn't save page zoom: %s", saved.error().message().c_str());
  }
}

}  // namespace quorvel
