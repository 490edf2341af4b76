// AppDelegate::buildWindow: the one window, its web view and the start-up spinner.

#include <gtk/gtk.h>
#include <webkit/webkit.h>

#include "base/glib_ptr.h"
#include "base/milestones.h"
#include "base/text_file.h"
#include "shell/app_delegate.h"
#include "shell/message_dialog.h"
#include "shell/window_state.h"
#include "web/desktop.h"
#include "web/web_process_start.h"

namespace quorvel {

void AppDelegate::buildWindow() {
  // A persistent session: cookies and storage survive restarts, under the data
  // directory rather than WebKit's default place.
  std::string dataDir = settings_.supportDir + "/WebKit";
  std::string cacheDir = settings_.home + "/Library/Caches/Quorvel";
  auto session = GRef<WebKitNetworkSession>::adopt(webkit_network_session_new(dataDir.c_str(), cacheDir.c_str()));
  // Cookies that should last (a page's "remember me") are kept on disk; session
  // cookies, the launch token's among them, never are. Set before any cookie is,
  // since choosing the storage starts the store afresh.
  webkit_cookie_manager_set_persistent_storage(webkit_network_session_get_cookie_manager(session.get()),
                                               (dataDir + "/cookies.sqlite").c_str(),
                                               WEBKIT_COOKIE_PERSISTENT_STORAGE_SQLITE);

  webView = WEBKIT_WEB_VIEW(g_object_new(WEBKIT_TYPE_WEB_VIEW, "network-session", session.get(), nullptr));
  WebKitSettings* webSettings = webkit_web_view_get_settings(webView);
  webkit_settings_set_enable_fullscreen(webSettings, TRUE);
  webkit_settings_set_media_playback_requires_user_gesture(webSettings, FALSE);
  webkit_settings_set_zoom_text_only(webSettings, FALSE);
  // WebKit's choice for a local application: a modest memory cache, and the
  // back/forward cache kept. Before the web process starts, which takes it along.
  webkit_web_context_set_cache_model(webkit_web_view_get_context(webView), WEBKIT_CACHE_MODEL_DOCUMENT_BROWSER);
  gtk_widget_set_visible(GTK_WIDGET(webView), FALSE);
  // Its web process boots alongside the server and the window rather than after them.
  startWebProcess(webView);
  // Before any page: the first one shows at the saved zoom and learns the connection from its cookie.
  pageZoom = std::make_unique<PageZoom>(webView, settings_.supportDir + "/page-zoom");
  cursorHider = std::make_unique<FullscreenCursorHider>(webView);
  swipeGestures = std::make_unique<SwipeGestures>(webView);
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
  g_signal_connect_swapped(webView, "web-process-terminated", G_CALLBACK(+[](AppDelegate* self,
                                                                            WebKitWebProcessTerminationReason reason) {
                             if (reason != WEBKIT_WEB_PROCESS_TERMINATED_BY_API) self->pageStopped();
                           }),
                           this);
  // Remembered as soon as a navigation starts, and kept when a web process that
  // ended leaves the web view without one.
  g_signal_connect_swapped(webView, "notify::uri", G_CALLBACK(+[](AppDelegate* self) {
                             const char* uri = webkit_web_view_get_uri(self->webView);
                             if (uri && *uri) self->shownPage_ = uri;
                           }),
                           this);
  g_signal_connect_swapped(webView, "load-changed", G_CALLBACK(+[](AppDelegate* self, WebKitLoadEvent event) {
                             if (event == WEBKIT_LOAD_COMMITTED && !self->firstByteLogged_) {
                               // Committed: the page's first bytes have arrived.
                               self->firstByteLogged_ = true;
                               logMilestone("first byte");
                             }
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
                             self->overlay = nullptr;
                             self->stack = nullptr;
                           }),
                           this);

  // The page (the web view, with the spinner over it while the server starts), or
  // in its place the view that says the server or the page has stopped.
  overlay = gtk_overlay_new();
  gtk_overlay_set_child(GTK_OVERLAY(overlay), GTK_WIDGET(webView));
  recoveryView = std::make_unique<RecoveryView>();
  stack = gtk_stack_new();
  gtk_widget_set_vexpand(stack, TRUE);
  gtk_stack_add_named(GTK_STACK(stack), overlay, "page");
  gtk_stack_add_named(GTK_STACK(stack), recoveryView->widget(), "recovery");
  showSpinner();
  GtkWidget* content = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
  gtk_box_append(GTK_BOX(content), stack);
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

void AppDelegate::showSpinner() {
  gtk_stack_set_visible_child_name(GTK_STACK(stack), "page");
  gtk_widget_set_visible(GTK_WIDGET(webView), FALSE);
  spinner = gtk_spinner_new();
  gtk_widget_set_size_request(spinner, 32, 32);
  gtk_widget_set_halign(spinner, GTK_ALIGN_CENTER);
  gtk_widget_set_valign(spinner, GTK_ALIGN_CENTER);
  gtk_overlay_add_overlay(GTK_OVERLAY(overlay), spinner);
  gtk_spinner_start(GTK_SPINNER(spinner));
}

void AppDelegate::serverStopped(const ServerEnd& end) {
  if (quitting_) return;
  pageToLoad_ = shownPage_;
  recoveryView->show("The server stopped unexpectedly.", end.describe(), lastLines(settings_.logFile, 15),
                     {{"_Restart Server", [this] { restartServer(); }},
                      {"_Show Log", [this] { showServerLog(); }},
                      {"_Quit", [this] { quit(); }}});
  gtk_stack_set_visible_child_name(GTK_STACK(stack), "recovery");
}

void AppDelegate::restartServer() {
  showSpinner();
  server.start([this](const Status& result) { startDidFinish(result); });
}

void AppDelegate::pageStopped() {
  g_debug("The page's web process ended");
  if (quitting_) return;
  // Once is a mishap: the page comes back. Twice in a row says something is wrong.
  const gint64 now = g_get_monotonic_time();
  const bool again = pageStoppedAt_ != 0 && now - pageStoppedAt_ < kPageCrashWindow;
  pageStoppedAt_ = now;
  if (!again) {
    // Not from inside the signal: WebKit is still taking down the old process.
    loadShownPage();
    return;
  }
  recoveryView->show("The page stopped responding.", {}, {},
                     {{"_Reload",
                       [this] {
                         gtk_stack_set_visible_child_name(GTK_STACK(stack), "page");
                         loadShownPage();
                       }},
                      {"_Quit", [this] { quit(); }}});
  gtk_stack_set_visible_child_name(GTK_STACK(stack), "recovery");
}

void AppDelegate::loadShownPage() {
  // A web view whose process ended has forgotten its page: load it anew, once WebKit
  // has finished taking down the old process.
  g_idle_add_full(G_PRIORITY_DEFAULT_IDLE, [](gpointer self) -> gboolean {
    auto* delegate = static_cast<AppDelegate*>(self);
    if (delegate->webView) webkit_web_view_load_uri(delegate->webView, delegate->shownPage_.c_str());
    return G_SOURCE_REMOVE;
  }, this, nullptr);
}

void AppDelegate::showServerLog() {
  openWithDesktop(takeString(g_filename_to_uri(settings_.logFile.c_str(), nullptr, nullptr)), GTK_WIDGET(window));
}

}  // namespace quorvel
