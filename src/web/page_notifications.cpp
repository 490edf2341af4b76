#include "web/page_notifications.h"

#include <gtk/gtk.h>
#include <webkit2/webkit2.h>
#include <algorithm>
#include <memory>

#ifdef GDK_WINDOWING_WAYLAND
#include <gdk/gdkwayland.h>
#endif

#include "web/rules/notification_text.h"

namespace quorvel {
namespace {

constexpr const char* kServer = "org.freedesktop.Notifications";
constexpr const char* kPath = "/org/freedesktop/Notifications";

struct Pending {
  WeakOwner<PageNotifications> owner;
  std::uint64_t id;
};

void present(GtkWindow* window, const std::string& activationToken) {
#ifdef GDK_WINDOWING_WAYLAND
  // Without the token the compositor may refuse to raise a window that did not have the keyboard.
  GdkDisplay* display = gtk_widget_get_display(GTK_WIDGET(window));
  if (!activationToken.empty() && GDK_IS_WAYLAND_DISPLAY(display)) {
    gdk_wayland_display_set_startup_notification_id(display, activationToken.c_str());
  }
#endif
  gtk_window_present(window);
}

}  // namespace

PageNotifications::PageNotifications(WebKitWebView* webView) : webView_(webView) {
  GApplication* app = g_application_get_default();
  bus_ = GRef<GDBusConnection>::retain(app ? g_application_get_dbus_connection(app) : nullptr);
  // Without a session bus WebKit's own delivery may still find a way.
  if (!bus_) return;
  subscription_ = g_dbus_connection_signal_subscribe(
      bus_.get(), kServer, kServer, nullptr, kPath, nullptr, G_DBUS_SIGNAL_FLAGS_NONE,
      [](GDBusConnection*, const char*, const char*, const char*, const char* name, GVariant* parameters, gpointer self) {
        static_cast<PageNotifications*>(self)->serverSignal(name, parameters);
      },
      this, nullptr);
  connections_.add(webView, "show-notification", G_CALLBACK(+[](PageNotifications* self, WebKitNotification* shown) {
                     return static_cast<gboolean>(self->show(shown));
                   }),
                   this, G_CONNECT_SWAPPED);
}

PageNotifications::~PageNotifications() {
  g_cancellable_cancel(cancellable_.get());
  if (subscription_) g_dbus_connection_signal_unsubscribe(bus_.get(), subscription_);
}

bool PageNotifications::show(WebKitNotification* notification) {
  const std::uint64_t id = webkit_notification_get_id(notification);
  Shown& shown = shown_[id];
  if (!shown.notification) {
    shown.notification = GRef<WebKitNotification>::retain(notification);
    // The page closed it, or WebKit did for another with the same tag.
    auto closed = +[](PageNotifications* self, WebKitNotification* gone) {
      const std::uint64_t goneId = webkit_notification_get_id(gone);
      auto entry = self->shown_.find(goneId);
      if (entry != self->shown_.end() && entry->second.serverId) {
        self->call("CloseNotification", g_variant_new("(u)", entry->second.serverId));
      }
      self->forget(goneId);
    };
    shown.closedHandler = connections_.add(notification, "closed", G_CALLBACK(closed), this, G_CONNECT_SWAPPED);
  }
  call("GetCapabilities", nullptr, G_VARIANT_TYPE("(as)"),
       [](GObject* bus, GAsyncResult* result, gpointer data) {
         std::unique_ptr<Pending> pending(static_cast<Pending*>(data));
         GErrorHolder error;
         VariantPtr reply(g_dbus_connection_call_finish(G_DBUS_CONNECTION(bus), result, error.out()));
         if (auto self = pending->owner.get()) self->notify(pending->id, reply.get());
       },
       new Pending{anchor_.weak(), id});
  return true;
}

void PageNotifications::notify(std::uint64_t id, GVariant* capabilities) {
  auto shown = shown_.find(id);
  if (shown == shown_.end()) return;  // closed by the page meanwhile
  WebKitNotification* notification = shown->second.notification.get();
  const char* appId = g_application_get_application_id(g_application_get_default());
  GVariantBuilder hints;
  g_variant_builder_init(&hints, G_VARIANT_TYPE_VARDICT);
  g_variant_builder_add(&hints, "{sv}", "desktop-entry", g_variant_new_string(appId ? appId : ""));
  const char* actions[] = {"default", "Open", nullptr};
  const char* title = webkit_notification_get_title(notification);
  const char* body = webkit_notification_get_body(notification);
  const std::string text = notificationBody(body ? body : "", capabilities);
  call("Notify",
       g_variant_new("(susss^asa{sv}i)", g_get_application_name(), shown->second.serverId, appId ? appId : "",
                     title ? title : "", text.c_str(), actions, &hints, -1),
       G_VARIANT_TYPE("(u)"),
       [](GObject* bus, GAsyncResult* result, gpointer data) {
         std::unique_ptr<Pending> pending(static_cast<Pending*>(data));
         GErrorHolder error;
         VariantPtr reply(g_dbus_connection_call_finish(G_DBUS_CONNECTION(bus), result, error.out()));
         auto self = pending->owner.get();
         if (!self) return;
         if (!reply) return g_debug("No notification shown: %s", error.message().c_str());
         std::uint32_t serverId = 0;
         g_variant_get(reply.get(), "(u)", &serverId);
         self->shownAs(pending->id, serverId);
       },
       new Pending{anchor_.weak(), id});
}

void PageNotifications::shownAs(std::uint64_t id, std::uint32_t serverId) {
  auto shown = shown_.find(id);
  if (shown != shown_.end()) {
    shown->second.serverId = serverId;
  } else {
    call("CloseNotification", g_variant_new("(u)", serverId));  // closed by the page meanwhile
  }
}

void PageNotifications::serverSignal(const char* name, GVariant* parameters) {
  const ServerSignal read = readServerSignal(name, parameters);
  auto shown = std::find_if(shown_.begin(), shown_.end(),
                            [&](const auto& entry) { return read.id && entry.second.serverId == read.id; });
  if (read.kind == ServerSignal::Kind::Other || shown == shown_.end()) return;  // another program's, or already gone
  if (read.kind == ServerSignal::Kind::ActivationToken) {
    shown->second.activationToken = read.text;
    return;
  }
  auto notification = GRef<WebKitNotification>::retain(shown->second.notification.get());
  if (read.kind == ServerSignal::Kind::Action && read.text == "default") {
    const std::string activationToken = shown->second.activationToken;  // the onclick may close it
    webkit_notification_clicked(notification.get());
    GtkWidget* window = gtk_widget_get_toplevel(GTK_WIDGET(webView_));
    if (GTK_IS_WINDOW(window)) present(GTK_WINDOW(window), activationToken);
  } else if (read.kind == ServerSignal::Kind::Closed) {
    forget(shown->first);
    webkit_notification_close(notification.get());  // tells the page
  }
}

void PageNotifications::forget(std::uint64_t id) {
  auto shown = shown_.find(id);
  if (shown == shown_.end()) return;
  connections_.disconnect(shown->second.closedHandler);
  shown_.erase(shown);
}

void PageNotifications::call(const char* method, GVariant* parameters, const GVariantType* reply,
                             GAsyncReadyCallback done, void* data) {
  g_dbus_connection_call(bus_.get(), kServer, kPath, kServer, method, parameters, reply, G_DBUS_CALL_FLAGS_NONE, -1,
                         cancellable_.get(), done, data);
}

}  // namespace quorvel
