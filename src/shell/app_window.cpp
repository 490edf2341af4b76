// AppDelegate::buildWindow: the one window, its web view and the start-up spinner.

#include <gtk/gtk.h>
#include <webkit/webkit.h>

#include "base/glib_ptr.h"
#include "base/milestones.h"
#include "shell/app_delegate.h"
#include "shell/message_dialog.h"
#include "shell/window_state.h"

namespace quorvel {

void AppDelegate::buildWindow() {
  // A persistent session: cookies and storage survive restarts, under the data
  // directory rather than WebKit's default place.
  std::string dataDir = settings_.supportDir + "/WebKit";
  std::string cacheDir = settings_.home + "/Library/Caches/Quorvel";
  auto session = GRef<WebKitNetworkSession>::adopt(webkit_network_session_new(dataDir.c_str(), cacheDir.c_str()));

  webView = WEBKIT_WEB_VIEW(g_object_new(WEBKIT_TYPE_WEB_VIEW, "network-session", session.get(), nullptr));
  WebKitSettings* webSettings = webkit_web_view_get_settings(webView);
  webkit_settings_set_enable_fullscreen(webSettings, TRUE);
  webkit_settings_set_media_playback_requires_user_gesture(webSettings, FALSE);
  webkit_settings_set_enable_back_forward_navigation_gestures(webSettings, TRUE);
  webkit_settings_set_zoom_text_only(webSettings, FALSE);
  gtk_widget_set_visible(GTK_WIDGET(webView), FALSE);
  // Before any page: the first one shows at the saved zoom and learns the connection from its cookie.
  pageZoom = std::make_unique<PageZoom>(webView, settings_.supportDir + "/page-zoom");
  cursorHider = std::make_unique<FullscreenCursorHider>(webView);
  connectionWatcher = std::make_unique<ConnectionWatcher>(webView, originOf(settings_.baseURL, settings_.port).host);
  settingsCommand = std::make_unique<SettingsCommand>(webView, settings_.baseURL + "settings");
  navigationPolicy = std::make_unique<NavigationPolicy>(webView, originOf(settings_.baseURL, settings_.port));
  pageDialogs = std::make_unique<PageDialogs>(webView, [this](const std::string& message, bool confirm,
                                                               std::function<void(bool)> answer) {
    std::vector<DialogButton> buttons;
    if (confirm) buttons = {{"_OK", 1, true}, {"_Cancel", 0}};
    showMessageDialog(window, message, {}, buttons, [answer](int response) { answer(response == 1); });
  });
  downloadNotice = std::make_unique<DownloadNotice>();
  downloads = std::make_unique<Downloads>(session.get(), [this](const DownloadReport& report) {
    downloadNotice->show(report);
  });
  g_signal_connect_swapped(webView, "load-changed", G_CALLBACK(+[](AppDelegate* self, WebKitLoadEvent event) {
                             if (event == WEBKIT_LOAD_FINISHED && !self->firstLoadLogged_) {
                               self->firstLoadLogged_ = true;
                               logMilestone("first page load finished");
                             }
                           }),
                           this);

  window = GTK_WINDOW(gtk_application_window_new(app_));
  gtk_window_set_title(window, "Quorvel");
  gtk_window_set_hide_on_close(window, TRUE);
  gtk_application_window_set_show_menubar(GTK_APPLICATION_WINDOW(window), TRUE);
  WindowState state = loadWindowState(settings_.supportDir + "/window-state");
  gtk_window_set_default_size(window, state.width, state.height);
  if (state.maximized) gtk_window_maximize(window);
  g_signal_connect_swapped(window, "close-request", G_CALLBACK(+[](AppDelegate* self) -> gboolean {
                             self->windowWillClose();
                             return FALSE;  // let GTK hide it
                           }),
                           this);
  // GTK destroys the windows when the application shuts down.
  g_signal_connect_swapped(window, "destroy", G_CALLBACK(+[](AppDelegate* self) {
                             self->window = nullptr;
                             self->webView = nullptr;
                             self->spinner = nullptr;
                           }),
                           this);

  GtkWidget* content = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
  GtkWidget* overlay = gtk_overlay_new();
  gtk_widget_set_vexpand(overlay, TRUE);
  gtk_overlay_set_child(GTK_OVERLAY(overlay), GTK_WIDGET(webView));
  spinner = gtk_spinner_new();
  gtk_widget_set_size_request(spinner, 32, 32);
  gtk_widget_set_halign(spinner, GTK_ALIGN_CENTER);
  gtk_widget_set_valign(spinner, GTK_ALIGN_CENTER);
  gtk_overlay_add_overlay(GTK_OVERLAY(overlay), spinner);
  gtk_spinner_start(GTK_SPINNER(spinner));
  gtk_box_append(GTK_BOX(content), overlay);
  gtk_box_append(GTK_BOX(content), downloadNotice->widget());
  gtk_window_set_child(window, content);
  letThePageHaveItsKeysFirst();

  g_signal_connect_swapped(window, "map", G_CALLBACK(+[](AppDelegate* self) {
                             // Reopening maps the window again; only the first time counts.
                             if (!self->windowShownLogged_) logMilestone("window shown");
                             self->windowShownLogged_ = true;
                           }),
                           this);
  // Presented by applicationDidFinishLaunching once the menu bar is installed.
}

}  // namespace quorvel
