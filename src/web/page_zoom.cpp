#include "web/page_zoom.h"

#include <webkit/webkit.h>

#include <cmath>

#include "web/zoom_levels.h"

namespace quorvel {
namespace {

// Smooth scrolling in surface pixels: this much makes one wheel notch.
constexpr double kPixelsPerNotch = 40.0;

}  // namespace

PageZoom::PageZoom(WebKitWebView* webView, std::string zoomFile) : webView_(webView), zoomFile_(std::move(zoomFile)) {
  // The file is not rewritten here, not even when its value had to be clamped.
  if (auto stored = readZoomFile(zoomFile_)) webkit_web_view_set_zoom_level(webView_, *clampZoom(*stored));

  // Claimed in the capture phase, so WebKit's own pinch zoom never runs.
  GtkGesture* pinch = gtk_gesture_zoom_new();
  gtk_event_controller_set_propagation_phase(GTK_EVENT_CONTROLLER(pinch), GTK_PHASE_CAPTURE);
  g_signal_connect(pinch, "begin", G_CALLBACK(+[](GtkGesture* gesture, GdkEventSequence*, PageZoom* self) {
                     gtk_gesture_set_state(gesture, GTK_EVENT_SEQUENCE_CLAIMED);
                     self->lastScale_ = 1.0;
                   }),
                   this);
  g_signal_connect(pinch, "scale-changed", G_CALLBACK(+[](GtkGestureZoom*, double scale, PageZoom* self) {
                     self->setZoom(pinchedZoom(webkit_web_view_get_zoom_level(self->webView_), scale, self->lastScale_));
                     self->lastScale_ = scale;
                   }),
                   this);
  pinch_ = GRef<GtkEventController>::retain(GTK_EVENT_CONTROLLER(pinch));
  gtk_widget_add_controller(GTK_WIDGET(webView_), GTK_EVENT_CONTROLLER(pinch));

  GtkEventController* wheel = gtk_event_controller_scroll_new(GTK_EVENT_CONTROLLER_SCROLL_VERTICAL);
  gtk_event_controller_set_propagation_phase(wheel, GTK_PHASE_CAPTURE);
  g_signal_connect(wheel, "scroll", G_CALLBACK(+[](GtkEventControllerScroll* scroll, double, double dy,
                                                   PageZoom* self) -> gboolean {
                     auto* controller = GTK_EVENT_CONTROLLER(scroll);
                     if (!(gtk_event_controller_get_current_event_state(controller) & GDK_CONTROL_MASK)) return FALSE;
                     bool pixels = gtk_event_controller_scroll_get_unit(scroll) == GDK_SCROLL_UNIT_SURFACE;
                     self->wheelMoved_ += pixels ? dy / kPixelsPerNotch : dy;
                     for (; self->wheelMoved_ <= -1; self->wheelMoved_ += 1) self->zoomIn();
                     for (; self->wheelMoved_ >= 1; self->wheelMoved_ -= 1) self->zoomOut();
                     return TRUE;
                   }),
                   this);
  wheel_ = GRef<GtkEventController>::retain(wheel);
  gtk_widget_add_controller(GTK_WIDGET(webView_), wheel);
}

PageZoom::~PageZoom() {
  g_signal_handlers_disconnect_by_data(pinch_.get(), this);
  g_signal_handlers_disconnect_by_data(wheel_.get(), this);
}

void PageZoom::zoomIn() { setZoom(zoomInFrom(webkit_web_view_get_zoom_level(webView_))); }
void PageZoom::zoomOut() { setZoom(zoomOutFrom(webkit_web_view_get_zoom_level(webView_))); }
void PageZoom::actualSize() { setZoom(1.0); }

void PageZoom::setZoom(double zoom) {
  auto clamped = clampZoom(zoom);
  if (!clamped) return;
  webkit_web_view_set_zoom_level(webView_, *clamped);
  if (auto failure = saveZoomFile(zoomFile_, webkit_web_view_get_zoom_level(webView_))) {
    g_warning("Couldn't save page zoom: %s", failure->c_str());
  }
}

}  // namespace quorvel
