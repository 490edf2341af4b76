#include "web/desktop_handoff.h"

#include <gtk/gtk.h>

#include "base/glib_ptr.h"

namespace quorvel {
namespace {

void launched(GObject*, GAsyncResult* result, gpointer data) {
  GCharPtr uri(static_cast<gchar*>(data));
  GErrorHolder error;
  if (!g_app_info_launch_default_for_uri_finish(result, error.out())) {
    g_debug("The desktop could not open %s: %s", uri.get(), error.message().c_str());
  }
}

}  // namespace

void openWithDesktop(const std::string& uri, GtkWidget* near) {
  GRef<GdkAppLaunchContext> context;
  if (near) context = GRef<GdkAppLaunchContext>::adopt(gdk_display_get_app_launch_context(gtk_widget_get_display(near)));
  g_app_info_launch_default_for_uri_async(uri.c_str(), G_APP_LAUNCH_CONTEXT(context.get()), nullptr, launched,
                                          g_strdup(uri.c_str()));
}

void showInFileManager(const std::string& path) {
  GCharPtr uri(g_filename_to_uri(path.c_str(), nullptr, nullptr));
  GCharPtr folder(g_path_get_dirname(path.c_str()));
  GApplication* app = g_application_get_default();
  GDBusConnection* bus = app ? g_application_get_dbus_connection(app) : nullptr;
  if (!bus) {
    openWithDesktop(takeString(g_filename_to_uri(folder.get(), nullptr, nullptr)));
    return;
  }
  const char* items[] = {uri.get(), nullptr};
  g_dbus_connection_call(
      bus, "org.freedesktop.FileManager1",
      "/org/freedesktop/FileManager1", "org.freedesktop.FileManager1", "ShowItems", g_variant_new("(^ass)", items, ""),
      nullptr, G_DBUS_CALL_FLAGS_NONE, -1, nullptr,
      [](GObject* connection, GAsyncResult* result, gpointer data) {
        GCharPtr folderUri(static_cast<gchar*>(data));
        VariantPtr reply(g_dbus_connection_call_finish(G_DBUS_CONNECTION(connection), result, nullptr));
        if (!reply) openWithDesktop(folderUri.get());
      },
      g_filename_to_uri(folder.get(), nullptr, nullptr));
}

}  // namespace quorvel
