#include "web/cursor_hider.h"

namespace quorvel {
namespace {

double seconds() { return static_cast<double>(g_get_monotonic_time()) / G_USEC_PER_SEC; }

GtkWindow* windowOf(WebKitWebView* webView) { return GTK_WINDOW(gtk_widget_get_root(GTK_WIDGET(webView))); }

}  // namespace

FullscreenCursorHider::FullscreenCursorHider(WebKitWebView* webView)
    : webView_(GRef<WebKitWebView>::retain(webView)), idle_(std::make_unique<CursorIdle>(pointer(), seconds())) {
  g_signal_connect_swapped(webView, "enter-fullscreen", G_CALLBACK(+[](FullscreenCursorHider* self) -> gboolean {
                             self->state_ = Fullscreen::Entering;
                             self->fullscreenChanged();
                             return FALSE;  // WebKit makes the window full screen
                           }),
                           this);
  g_signal_connect_swapped(webView, "leave-fullscreen", G_CALLBACK(+[](FullscreenCursorHider* self) -> gboolean {
                             self->state_ = Fullscreen::Exiting;
                             self->fullscreenChanged();
                             return FALSE;
                           }),
                           this);
  // The pointer comes back at its first movement, not half a second later.
  motion_ = GRef<GtkEventController>::retain(gtk_event_controller_motion_new());
  gtk_event_controller_set_propagation_phase(motion_.get(), GTK_PHASE_CAPTURE);
  g_signal_connect_swapped(motion_.get(), "motion", G_CALLBACK(+[](FullscreenCursorHider* self) {
                             if (!self->cursorHidden_) return;
                             self->cursorHidden_ = false;
                             gtk_widget_set_cursor(GTK_WIDGET(self->webView_.get()), nullptr);
                           }),
                           this);
  gtk_widget_add_controller(GTK_WIDGET(webView), motion_.get());
  timer_ = g_timeout_add(static_cast<guint>(CursorIdle::tickInterval * 1000), [](gpointer self) -> gboolean {
    static_cast<FullscreenCursorHider*>(self)->tick();
    return G_SOURCE_CONTINUE;
  }, this);
}

FullscreenCursorHider::~FullscreenCursorHider() {
  g_clear_handle_id(&timer_, g_source_remove);
  g_signal_handlers_disconnect_by_data(webView_.get(), this);
  g_signal_handlers_disconnect_by_data(motion_.get(), this);
  if (GtkWindow* window = windowOf(webView_.get())) g_signal_handlers_disconnect_by_data(window, this);
}

void FullscreenCursorHider::fullscreenChanged() {
  GtkWindow* window = windowOf(webView_.get());
  if (!window) return;
  // Full screen is reached when the window says so; the window's signal is connected once.
  if (!g_signal_handler_find(window, G_SIGNAL_MATCH_DATA, 0, 0, nullptr, nullptr, this)) {
    g_signal_connect_swapped(window, "notify::fullscreened", G_CALLBACK(+[](FullscreenCursorHider* self) {
                               bool full = gtk_window_is_fullscreen(windowOf(self->webView_.get()));
                               if (full && self->state_ == Fullscreen::Entering) self->state_ = Fullscreen::In;
                               if (!full && self->state_ != Fullscreen::Entering) self->state_ = Fullscreen::Not;
                             }),
                             this);
  }
  if (state_ == Fullscreen::Entering && gtk_window_is_fullscreen(window)) state_ = Fullscreen::In;
}

Point FullscreenCursorHider::pointer() const {
  GtkWindow* window = windowOf(webView_.get());
  GdkSurface* surface = window ? gtk_native_get_surface(GTK_NATIVE(window)) : nullptr;
  if (!surface) return {};
  GdkDevice* device = gdk_seat_get_pointer(gdk_display_get_default_seat(gdk_surface_get_display(surface)));
  Point p;
  if (device) gdk_surface_get_device_position(surface, device, &p.x, &p.y, nullptr);
  return p;
}

void FullscreenCursorHider::tick() {
  GtkWindow* window = windowOf(webView_.get());
  bool active = window && gtk_window_is_active(window);
  if (idle_->tick(pointer(), seconds(), state_ == Fullscreen::In, active)) {
    gtk_widget_set_cursor_from_name(GTK_WIDGET(webView_.get()), "none");
    cursorHidden_ = true;
  }
}

}  // namespace quorvel
