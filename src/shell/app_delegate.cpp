#include "shell/app_delegate.h"

#include <glib-unix.h>
#include <gtk/gtk.h>
#include <webkit/webkit.h>

#include <csignal>

#include "base/milestones.h"
#include "shell/command_line.h"
#include "shell/message_dialog.h"
#include "shell/window_state.h"
#include "web/desktop.h"
#include "web/launch_token_load.h"

namespace quorvel {

AppDelegate::AppDelegate(GtkApplication* app, const LaunchSettings& settings)
    : app_(app),
      settings_(settings),
      server(settings),
      updater(settings.info, [this](const UpdateMessage& message) { showUpdateMessage(message); }) {
  g_signal_connect_swapped(app, "will-start-up", G_CALLBACK(+[](AppDelegate* self) {
                             self->applicationWillFinishLaunching();
                           }),
                           this);
  g_signal_connect(app, "activate", G_CALLBACK(onActivate), this);
  g_signal_connect(app, "shutdown", G_CALLBACK(onShutdown), this);
  // SIGINT, SIGTERM and SIGHUP quit in order, so that the server is stopped too.
  const int quitSignals[] = {SIGINT, SIGTERM, SIGHUP};
  for (int i = 0; i < 3; ++i) {
    signalSources_[i] = g_unix_signal_add(
        quitSignals[i],
        [](gpointer self) -> gboolean {
          static_cast<AppDelegate*>(self)->quit();
          return G_SOURCE_CONTINUE;
        },
        this);
  }
}

AppDelegate::~AppDelegate() {
  for (unsigned& source : signalSources_) g_clear_handle_id(&source, g_source_remove);
  g_signal_handlers_disconnect_by_data(app_, this);
  if (window) {
    g_signal_handlers_disconnect_by_data(window, this);
    g_signal_handlers_disconnect_by_data(webView, this);
    gtk_window_destroy(window);
  }
}

void AppDelegate::onActivate(GtkApplication*, AppDelegate* self) {
  if (self->launched_) {
    self->applicationShouldHandleReopen();
  } else {
    self->launched_ = true;
    self->applicationDidFinishLaunching();
  }
}

void AppDelegate::onShutdown(GtkApplication*, AppDelegate* self) { self->applicationWillTerminate(); }

void AppDelegate::applicationWillFinishLaunching() {
  // The server boots while GTK starts up and the window is built. GApplication
  // emits the first "activate" right after start-up, before its main loop runs, so
  // the completion, which comes through the main loop, always finds the window. The
  // controller owns the pending completion and drops it if it goes first.
  server.onEnded([this](const ServerEnd& end) { serverStopped(end); });
  server.start([this](const Status& result) { startDidFinish(result); });
}

void AppDelegate::applicationDidFinishLaunching() {
  // Closing the window must not quit: only Quit (or a signal) ends Quorvel.
  g_application_hold(G_APPLICATION(app_));
  // First, as it starts WebKit's web process, which takes longest.
  buildWindow();
  // The bundle carries its own icon, so that an uninstalled copy shows it too.
  std::string icons = settings_.resources + "/icons";
  gtk_icon_theme_add_search_path(gtk_icon_theme_get_for_display(gdk_display_get_default()), icons.c_str());
  gtk_window_set_default_icon_name(kApplicationId);
  buildMenu();
  // Shown only now: with a session bus, GTK does not add a menu bar that is set
  // after the window has been realized.
  gtk_window_present(window);
}

void AppDelegate::startDidFinish(const Status& result) {
  if (result.ok()) {
    gtk_spinner_stop(GTK_SPINNER(spinner));
    gtk_overlay_remove_overlay(GTK_OVERLAY(overlay), spinner);
    spinner = nullptr;
    gtk_widget_set_visible(GTK_WIDGET(webView), TRUE);
    // The first keys go to the page without a click first.
    gtk_widget_grab_focus(GTK_WIDGET(webView));
    loadWithToken(server.launchToken(), pageToLoad_.empty() ? settings_.baseURL : pageToLoad_, webView);
    return;
  }
  g_message("Quorvel couldn't start: %s", result.error().message().c_str());
  showMessageDialog(window, "Quorvel couldn't start", result.error().message(), {}, [this](int) { quit(); });
}

void AppDelegate::applicationShouldHandleReopen() {
  if (!window) return;
  gtk_window_present(window);
  if (gtk_widget_get_visible(GTK_WIDGET(webView))) gtk_widget_grab_focus(GTK_WIDGET(webView));
}

void AppDelegate::windowWillClose() {
  // The window only hides; the page keeps running, so silence it.
  webkit_web_view_evaluate_javascript(
      webView, "document.querySelectorAll('audio, video').forEach(function (m) { m.pause(); });", -1,
      nullptr, nullptr, nullptr, nullptr, nullptr);
  saveWindowState();
}

void AppDelegate::applicationWillTerminate() {
  quitting_ = true;
  if (window) {
    saveWindowState();
    // Taken down now rather than after the server has gone, so that Quorvel ends
    // as soon as its server has.
    gtk_window_destroy(window);
  }
  server.stop();
}

void AppDelegate::saveWindowState() {
  WindowState state;
  state.maximized = gtk_window_is_maximized(window);
  int width = 0, height = 0;
  // GTK keeps the default size in step with the user's resizing (not while maximized).
  gtk_window_get_default_size(window, &width, &height);
  if (width > 0) state.width = width;
  if (height > 0) state.height = height;
  quorvel::saveWindowState(settings_.supportDir + "/window-state", state);
}

void AppDelegate::reload() { webkit_web_view_reload(webView); }
void AppDelegate::goBack() { webkit_web_view_go_back(webView); }
void AppDelegate::goForward() { webkit_web_view_go_forward(webView); }

void AppDelegate::toggleFullScreen() {
  if (gtk_window_is_fullscreen(window)) {
    gtk_window_unfullscreen(window);
  } else {
    gtk_window_fullscreen(window);
  }
}

void AppDelegate::showAbout() {
  std::string version = versionText(settings_.info);
  gtk_show_about_dialog(window, "program-name", "Quorvel", "version", version.c_str(), "comments",
                        "A local web application as a desktop program.", "logo-icon-name",
                        kApplicationId, nullptr);
}

void AppDelegate::showUpdateMessage(const UpdateMessage& message) {
  if (message.downloadURL.empty()) {
    showMessageDialog(window, message.primary, message.secondary, {}, nullptr);
    return;
  }
  std::string url = message.downloadURL;
  showMessageDialog(window, message.primary, message.secondary, {{"Later", 0}, {"Download", 1}},
                    [url](int response) {
                      if (response == 1) openWithDesktop(url);
                    });
}

void AppDelegate::quit() {
  logMilestone("quit requested");
  quitting_ = true;
  g_application_quit(G_APPLICATION(app_));
}

}  // namespace quorvel
