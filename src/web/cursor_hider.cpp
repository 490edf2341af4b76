#include "web/cursor_hider.h"

#include <gtk/gtk.h>
#include <webkit2/webkit2.h>
namespace quorvel {
namespace {

double seconds() { return static_cast<double>(g_get_monotonic_time()) / G_USEC_PER_SEC; }

bool isFullscreen(GtkWindow* window) {
  GdkWindow* surface = window ? gtk_widget_get_window(GTK_WIDGET(window)) : nullptr;
  return surface && (gdk_window_get_state(surface) & GDK_WINDOW_STATE_FULLSCREEN);
}

}  // namespace

FullscreenCursorHider::FullscreenCursorHider(WebKitWebView* webView)
    : webView_(GRef<WebKitWebView>::retain(webView)),
      motion_(GRef<GtkEventController>::adopt(gtk_event_controller_motion_new(GTK_WIDGET(webView)))) {
  connections_.add(webView, "enter-fullscreen", G_CALLBACK(+[](FullscreenCursorHider* self) -> gboolean {
                     self->changed(FullScreenEvent::ElementEnters);
                     return FALSE;  // WebKit makes the window full screen
                   }),
                   this, G_CONNECT_SWAPPED);
  connections_.add(webView, "leave-fullscreen", G_CALLBACK(+[](FullscreenCursorHider* self) -> gboolean {
                     self->changed(FullScreenEvent::ElementLeaves);
                     return FALSE;
                   }),
                   this, G_CONNECT_SWAPPED);
  // The pointer comes back at its first movement, not at the next sample.
  gtk_event_controller_set_propagation_phase(motion_.get(), GTK_PHASE_CAPTURE);
  connections_.add(motion_.get(), "motion", G_CALLBACK(+[](FullscreenCursorHider* self) {
                     // Rest starts again, also when the pointer is back where it was at the next sample.
                     if (self->idle_) self->idle_->moved(seconds());
                     if (self->cursorHidden_) self->showCursor();
                   }),
                   this, G_CONNECT_SWAPPED);
}

FullscreenCursorHider::~FullscreenCursorHider() { g_clear_handle_id(&timer_, g_source_remove); }

GtkWindow* FullscreenCursorHider::window() const {
  GtkWidget* top = gtk_widget_get_toplevel(GTK_WIDGET(webView_.get()));
  return gtk_widget_is_toplevel(top) ? GTK_WINDOW(top) : nullptr;
}

void FullscreenCursorHider::changed(FullScreenEvent event) {
  GtkWindow* window = this->window();
  if (window && !windowWatched_) {
    // Full screen is reached, or left, when the window says so.
    windowWatched_ = true;
    connections_.add(window, "window-state-event", G_CALLBACK(+[](FullscreenCursorHider* self) -> gboolean {
                       self->changed(FullScreenEvent::WindowChanged);
                       return FALSE;
                     }),
                     this, G_CONNECT_SWAPPED);
  }
  state_ = nextFullScreen(state_, event, isFullscreen(window));
  if (state_ == FullScreen::In && !timer_) {
    idle_ = std::make_unique<CursorIdle>(pointer(), seconds());
    timer_ = g_timeout_add(static_cast<guint>(CursorIdle::tickInterval * 1000), [](gpointer self) -> gboolean {
      static_cast<FullscreenCursorHider*>(self)->tick();
      return G_SOURCE_CONTINUE;
    }, this);
  } else if (state_ != FullScreen::In) {
    g_clear_handle_id(&timer_, g_source_remove);
    if (cursorHidden_) showCursor();
  }
}

void FullscreenCursorHider::showCursor() {
  cursorHidden_ = false;
  // WebKit sets the page's own cursor again at the next change over the page.
  if (GdkWindow* surface = gtk_widget_get_window(GTK_WIDGET(webView_.get()))) gdk_window_set_cursor(surface, nullptr);
}

Point FullscreenCursorHider::pointer() const {
  GdkWindow* surface = gtk_widget_get_window(GTK_WIDGET(webView_.get()));
  if (!surface) return {};
  GdkDevice* device = gdk_seat_get_pointer(gdk_display_get_default_seat(gdk_window_get_display(surface)));
  Point p;
  if (device) gdk_window_get_device_position_double(surface, device, &p.x, &p.y, nullptr);
  return p;
}

void FullscreenCursorHider::tick() {
  GtkWindow* window = this->window();
  bool active = window && gtk_window_is_active(window);
  if (idle_->tick(pointer(), seconds(), state_ == FullScreen::In, active)) {
    GdkWindow* surface = gtk_widget_get_window(GTK_WIDGET(webView_.get()));
    if (!surface) return;
    auto none = GRef<GdkCursor>::adopt(gdk_cursor_new_from_name(gdk_window_get_display(surface), "none"));
    gdk_window_set_cursor(surface, none.get());
    cursorHidden_ = true;
  }
}

}  // namespace quorvel
