#include "web/swipe_gestures.h"

#include <gtk/gtk.h>
#include <webkit2/webkit2.h>
namespace quorvel {

SwipeGestures::SwipeGestures(WebKitWebView* webView)
    : webView_(GRef<WebKitWebView>::retain(webView)), seat_(GRef<GdkSeat>::retain(gdk_display_get_default_seat(gdk_display_get_default()))) {
  if (seat_) {
    for (const char* signal : {"device-added", "device-removed"}) {
      connections_.add(seat_.get(), signal, G_CALLBACK(+[](SwipeGestures* self) { self->update(); }), this,
                       G_CONNECT_SWAPPED);
    }
  }
  update();
}

void SwipeGestures::update() {
  bool canSwipe = false;
  if (seat_) {
    ListPtr devices(gdk_seat_get_slaves(seat_.get(), GDK_SEAT_CAPABILITY_ALL));
    for (GList* item = devices.get(); item; item = item->next) {
      GdkInputSource source = gdk_device_get_source(GDK_DEVICE(item->data));
      if (source == GDK_SOURCE_TOUCHPAD || source == GDK_SOURCE_TOUCHSCREEN) canSwipe = true;
    }
  }
  WebKitSettings* settings = webkit_web_view_get_settings(webView_.get());
  if (webkit_settings_get_enable_back_forward_navigation_gestures(settings) != canSwipe) {
    webkit_settings_set_enable_back_forward_navigation_gestures(settings, canSwipe);
    g_debug("Back/forward swipe %s", canSwipe ? "on: a touchpad or touchscreen is present" : "off: nothing can swipe");
  }
}

}  // namespace quorvel
