#include "shell/main_window.h"

#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include "base/milestones.h"
#include "shell/main_menu.h"
#include "shell/message_dialog.h"
#include "shell/window_state.h"
#include "web/launch_token_load.h"
#include "web/spell_checking.h"
#include "web/web_process_start.h"

namespace quorvel {
namespace {

bool inspectorWanted(const Environment& environment) {
  auto value = environment.find("QUORVEL_INSPECTOR");
  return value != environment.end() && value->second == "1";
}

bool isPageFirst(const char* action) {
  for (const auto& menu : mainMenu()) {
    for (const auto& entry : menu.entries) {
      if (entry.pageFirst && entry.action == action) return true;
    }
  }
  return false;
}

// The application's actions bound to a key, looked up by the key's value.
CPtr<gchar*, g_strfreev> actionsFor(GtkApplication* app, const GdkEventKey* event) {
  auto modifiers = static_cast<GdkModifierType>(event->state & gtk_accelerator_get_default_mod_mask());
  GCharPtr accel(gtk_accelerator_name(gdk_keyval_to_lower(event->keyval), modifiers));
  return CPtr<gchar*, g_strfreev>(gtk_application_get_actions_for_accel(app, accel.get()));
}

}  // namespace

MainWindow::MainWindow(GtkApplication* app, const LaunchSettings& settings, Events events)
    : app_(app), settings_(settings), inspector_(inspectorWanted(settings.inherited)), events_(std::move(events)) {
  // First, as it starts WebKit's web process, which takes longest.
  buildWebView();

  window_ = GTK_WINDOW(gtk_application_window_new(app_));
  gtk_window_set_title(window_, "Quorvel");
  gtk_application_window_set_show_menubar(GTK_APPLICATION_WINDOW(window_), TRUE);
  WindowState state = loadWindowState(settings_.supportDir + "/window-state");
  width_ = state.width;
  height_ = state.height;
  gtk_window_set_default_size(window_, state.width, state.height);
  if (state.maximized) gtk_window_maximize(window_);
  // Closing only hides the window: the page and the server go on, silent until it
  // comes back (a script reaches only the top document's media, not a frame's player).
  connections_.add(window_, "delete-event", G_CALLBACK(+[](MainWindow* self) -> gboolean {
                     webkit_web_view_set_is_muted(self->webView_, TRUE);
                     webkit_web_view_evaluate_javascript(
                         self->webView_, "document.querySelectorAll('audio, video').forEach(function (m) { m.pause(); });",
                         -1, nullptr, nullptr, nullptr, nullptr, nullptr);
                     self->saveState();
                     gtk_widget_hide(GTK_WIDGET(self->window_));
                     return TRUE;
                   }),
                   this, G_CONNECT_SWAPPED);
  // GTK 3 keeps no default size in step with the user's resizing: remember the
  // last size that was neither maximized nor full screen.
  connections_.add(window_, "configure-event", G_CALLBACK(+[](MainWindow* self) -> gboolean {
                     GdkWindow* surface = gtk_widget_get_window(GTK_WIDGET(self->window_));
                     auto flags = surface ? gdk_window_get_state(surface) : GdkWindowState{};
                     if (!(flags & (GDK_WINDOW_STATE_MAXIMIZED | GDK_WINDOW_STATE_FULLSCREEN |
                                    GDK_WINDOW_STATE_TILED))) {
                       gtk_window_get_size(self->window_, &self->width_, &self->height_);
                     }
                     return FALSE;
                   }),
                   this, G_CONNECT_SWAPPED);
  // GTK may take the window down first when the display goes.
  connections_.add(window_, "destroy", G_CALLBACK(+[](MainWindow* self) { self->window_ = nullptr; }), this,
                   G_CONNECT_SWAPPED);
  connections_.add(window_, "map", G_CALLBACK(+[](MainWindow* self) {
                     webkit_web_view_set_is_muted(self->webView_, FALSE);
                     // Reopening maps the window again; only the first time counts.
                     if (!self->windowShownLogged_) logMilestone("window shown");
                     self->windowShownLogged_ = true;
                   }),
                   this, G_CONNECT_SWAPPED);

  // The spinner, the page, or a recovery view, one at a time.
  spinner_ = gtk_spinner_new();
  gtk_widget_set_size_request(spinner_, 32, 32);
  gtk_widget_set_halign(spinner_, GTK_ALIGN_CENTER);
  gtk_widget_set_valign(spinner_, GTK_ALIGN_CENTER);
  atk_object_set_name(gtk_widget_get_accessible(spinner_), "Starting Quorvel\u2026");
  recoveryView_ = std::make_unique<RecoveryView>();
  stack_ = gtk_stack_new();
  gtk_widget_set_vexpand(stack_, TRUE);
  gtk_stack_add_named(GTK_STACK(stack_), spinner_, "spinner");
  gtk_stack_add_named(GTK_STACK(stack_), GTK_WIDGET(webView_), "page");
  gtk_stack_add_named(GTK_STACK(stack_), recoveryView_->widget(), "recovery");
  GtkWidget* content = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
  findBar_ = std::make_unique<FindBar>(webView_);
  gtk_box_pack_start(GTK_BOX(content), findBar_->widget(), FALSE, FALSE, 0);
  gtk_box_pack_start(GTK_BOX(content), stack_, TRUE, TRUE, 0);
  gtk_box_pack_start(GTK_BOX(content), downloadNotice_->widget(), FALSE, FALSE, 0);
  gtk_container_add(GTK_CONTAINER(window_), content);
  gtk_widget_show_all(content);
  showSpinner();
  letThePageHaveItsKeysFirst();
}

MainWindow::~MainWindow() {
  connections_.disconnectAll();
  // Taken down now rather than at the end of the process, so that Quorvel ends as
  // soon as its server has.
  if (window_) gtk_widget_destroy(GTK_WIDGET(window_));
}

void MainWindow::buildWebView() {
  // A persistent store: cookies and storage survive restarts, under the data
  // directory rather than WebKit's default place.
  std::string dataDir = settings_.supportDir + "/WebKit";
  std::string cacheDir = settings_.home + "/Library/Caches/Quorvel";
  auto data = GRef<WebKitWebsiteDataManager>::adopt(webkit_website_data_manager_new(
      "base-data-directory", dataDir.c_str(), "base-cache-directory", cacheDir.c_str(), nullptr));
  // Cookies that should last (a page's "remember me") are kept on disk; session
  // cookies, the launch token's among them, never are. Set before any cookie is,
  // since choosing the storage starts the store afresh.
  webkit_cookie_manager_set_persistent_storage(webkit_website_data_manager_get_cookie_manager(data.get()),
                                               (dataDir + "/cookies.sqlite").c_str(),
                                               WEBKIT_COOKIE_PERSISTENT_STORAGE_SQLITE);
  auto context = GRef<WebKitWebContext>::adopt(webkit_web_context_new_with_website_data_manager(data.get()));
  // WebKit's choice for a local application: a modest memory cache, and the
  // back/forward cache kept. Before the web process starts, which takes it along.
  webkit_web_context_set_cache_model(context.get(), WEBKIT_CACHE_MODEL_DOCUMENT_BROWSER);

  webView_ = WEBKIT_WEB_VIEW(g_object_new(WEBKIT_TYPE_WEB_VIEW, "web-context", context.get(), nullptr));
  WebKitSettings* webSettings = webkit_web_view_get_settings(webView_);
  webkit_settings_set_enable_fullscreen(webSettings, TRUE);
  webkit_settings_set_media_playback_requires_user_gesture(webSettings, FALSE);
  webkit_settings_set_zoom_text_only(webSettings, FALSE);
  // Compiled while the server starts: the first page waits for it.
  cookieFilter_ = std::make_unique<TokenCookieFilter>(webView_, settings_.origin, cacheDir + "/ContentFilters");
  // Before its web process starts, which takes the permissions along.
  pagePermissions_ = std::make_unique<PagePermissions>(webView_, settings_.origin);
  pageNotifications_ = std::make_unique<PageNotifications>(webView_);
  // Its web process boots alongside the server and the window rather than after them.
  startWebProcess(webView_);
  // Before any page: the first one shows at the saved zoom and learns the connection from its cookie.
  pageZoom_ = std::make_unique<PageZoom>(webView_, settings_.supportDir + "/page-zoom");
  cursorHider_ = std::make_unique<FullscreenCursorHider>(webView_);
  swipeGestures_ = std::make_unique<SwipeGestures>(webView_);
  connectionWatcher_ = std::make_unique<ConnectionWatcher>(webView_, settings_.origin.host());
  settingsCommand_ = std::make_unique<SettingsCommand>(webView_, settings_.baseURL + "settings");
  navigationPolicy_ = std::make_unique<NavigationPolicy>(webView_, settings_.origin);
  pageDialogs_ = std::make_unique<PageDialogs>(webView_, [this](const std::string& message, bool confirm,
                                                                std::function<void(bool)> answer) {
    std::vector<DialogButton> buttons;
    if (confirm) buttons = {{"_OK", 1, true}, {"_Cancel", 0}};
    // Whose question it is as the heading, as the desktop's own dialogs have one.
    showMessageDialog(window_, "Quorvel", message, buttons, [answer](int response) { answer(response == 1); });
  });
  downloadNotice_ = std::make_unique<DownloadNotice>();
  downloads_ = std::make_unique<Downloads>(context.get(), settings_.origin, [this](const DownloadReport& report) {
    downloadNotice_->show(report);
  });
  pagePrinting_ = std::make_unique<PagePrinting>(
      webView_, [this](const std::string& why) { downloadNotice_->showProblem("Couldn't print: " + why); });
  contextMenu_ = std::make_unique<PageContextMenu>(webView_, settings_.origin, inspector_);
  if (inspector_) {
    webkit_settings_set_enable_developer_extras(webSettings, TRUE);
    g_message("web inspector enabled");
  }
  watchPage();
}

void MainWindow::watchPage() {
  connections_.add(webView_, "web-process-terminated",
                   G_CALLBACK(+[](MainWindow* self, WebKitWebProcessTerminationReason reason) {
                     g_debug("The page's web process ended");
                     if (reason != WEBKIT_WEB_PROCESS_TERMINATED_BY_API) self->events_.pageProcessEnded();
                   }),
                   this, G_CONNECT_SWAPPED);
  // The page to come back to: only one of the server's that the window shows, so
  // never a navigation still under way (a redirect to a foreign site, say), which
  // would take the token there. Also a page's own change of address (pushState),
  // which happens outside a load.
  connections_.add(webView_, "notify::uri", G_CALLBACK(+[](MainWindow* self) {
                     if (!self->navigating_) self->pageShown();
                   }),
                   this, G_CONNECT_SWAPPED);
  connections_.add(webView_, "load-changed", G_CALLBACK(+[](MainWindow* self, WebKitLoadEvent event) {
                     self->navigating_ = event == WEBKIT_LOAD_STARTED || event == WEBKIT_LOAD_REDIRECTED;
                     if (event == WEBKIT_LOAD_COMMITTED) self->pageShown();
                     if (event == WEBKIT_LOAD_COMMITTED && !self->firstByteLogged_) {
                       // Committed: the page's first bytes have arrived.
                       self->firstByteLogged_ = true;
                       logMilestone("first byte");
                     }
                     if (event == WEBKIT_LOAD_FINISHED && !self->firstLoadLogged_) {
                       self->firstLoadLogged_ = true;
                       logMilestone("first page load finished");
                       // Nobody types before the first page is there, and the dictionaries
                       // would hold up the main thread on the way to it.
                       enableSpellChecking(webkit_web_view_get_context(self->webView_));
                     }
                   }),
                   this, G_CONNECT_SWAPPED);
  // An element in full screen (a video) fills the screen alone.
  connections_.add(webView_, "enter-fullscreen", G_CALLBACK(+[](MainWindow* self) -> gboolean {
                     self->elementFullscreenChanged(true);
                     return FALSE;
                   }),
                   this, G_CONNECT_SWAPPED);
  connections_.add(webView_, "leave-fullscreen", G_CALLBACK(+[](MainWindow* self) -> gboolean {
                     self->elementFullscreenChanged(false);
                     return FALSE;
                   }),
                   this, G_CONNECT_SWAPPED);
}

void MainWindow::elementFullscreenChanged(bool full) {
  gtk_application_window_set_show_menubar(GTK_APPLICATION_WINDOW(window_), !full);
  GtkWidget* notice = downloadNotice_->widget();
  if (full) {
    noticeWasShown_ = gtk_widget_get_visible(notice);
    gtk_widget_hide(notice);
  } else if (noticeWasShown_) {
    gtk_widget_show(notice);
  }
}

void MainWindow::present() {
  gtk_window_present(window_);
  if (gtk_stack_get_visible_child(GTK_STACK(stack_)) == GTK_WIDGET(webView_)) gtk_widget_grab_focus(GTK_WIDGET(webView_));
}

void MainWindow::showSpinner() {
  findBar_->close();
  gtk_spinner_start(GTK_SPINNER(spinner_));
  gtk_stack_set_visible_child(GTK_STACK(stack_), spinner_);
}

void MainWindow::showPage() {
  gtk_spinner_stop(GTK_SPINNER(spinner_));
  gtk_stack_set_visible_child(GTK_STACK(stack_), GTK_WIDGET(webView_));
  // The first keys go to the page without a click first.
  gtk_widget_grab_focus(GTK_WIDGET(webView_));
}

void MainWindow::showRecovery(const std::string& title, const std::string& detail, const std::string& log,
                              std::vector<RecoveryView::Choice> choices) {
  gtk_spinner_stop(GTK_SPINNER(spinner_));
  findBar_->close();
  recoveryView_->show(title, detail, log, std::move(choices));
  gtk_stack_set_visible_child(GTK_STACK(stack_), recoveryView_->widget());
  recoveryView_->focusFirstChoice();
}

void MainWindow::load(const LaunchToken& token, const std::string& url) {
  cookieFilter_->whenReady([this, &token, url] { loadWithToken(token, url, webView_, settings_.origin); });
}

void MainWindow::pageShown() {
  const char* uri = webkit_web_view_get_uri(webView_);
  if (uri && loadsWithToken(uri, settings_.origin)) events_.pageChanged(uri);
}

void MainWindow::toggleFullScreen() {
  GdkWindow* surface = gtk_widget_get_window(GTK_WIDGET(window_));
  if (surface && (gdk_window_get_state(surface) & GDK_WINDOW_STATE_FULLSCREEN)) {
    gtk_window_unfullscreen(window_);
  } else {
    gtk_window_fullscreen(window_);
  }
}

void MainWindow::toggleInspector() {
  if (!inspector_) return;
  WebKitWebInspector* inspector = webkit_web_view_get_inspector(webView_);
  // It has a view of its own only while it is shown.
  if (webkit_web_inspector_get_web_view(inspector)) {
    webkit_web_inspector_close(inspector);
  } else {
    webkit_web_inspector_show(inspector);
  }
}

void MainWindow::saveState() {
  WindowState state{width_, height_, static_cast<bool>(gtk_window_is_maximized(window_))};
  quorvel::saveWindowState(settings_.supportDir + "/window-state", state);
}

void MainWindow::letThePageHaveItsKeysFirst() {
  // GTK matches the application's accelerators before the focused widget sees a
  // key. The editing keys go to the page first instead: WebKit hands a key the
  // page leaves back to the window, and then the accelerator runs.
  connections_.add(window_, "key-press-event", G_CALLBACK(keyPressed), this, G_CONNECT_SWAPPED);
}

gboolean MainWindow::keyPressed(MainWindow* self, GdkEventKey* event) {
  // The page's, or the web inspector's, which is a web view too.
  if (!WEBKIT_IS_WEB_VIEW_BASE(gtk_window_get_focus(self->window_))) return FALSE;
  // WebKit hands a key the page left back as a copy of the same event.
  const std::array<guint32, 4> press{event->time, event->hardware_keycode, event->keyval, event->state};
  if (press == self->keyForPage_) return self->keyLeftByPage(event);
  self->keyForPage_ = press;
  auto actions = actionsFor(self->app_, event);
  for (gchar** action = actions.get(); action && *action; ++action) {
    if (isPageFirst(*action)) return gtk_window_propagate_key_event(self->window_, event);
  }
  return FALSE;
}

bool MainWindow::keyLeftByPage(GdkEventKey* event) {
  // The key is marked to pass the web view once: it must go there to use the mark up, and then
  // only to the window's shortcuts. GTK's default would hand it to the web view once more, so
  // to the page, for ever where its shortcut matching misses (small keymaps on Wayland: on-screen
  // keyboards); here the accelerator is also looked up by the key's value.
  keyForPage_ = {};
  gtk_window_propagate_key_event(window_, event);
  if (gtk_window_activate_key(window_, event)) return true;
  auto actions = actionsFor(app_, event);
  if (actions && actions.get()[0] && g_str_has_prefix(actions.get()[0], "app.")) {
    g_action_group_activate_action(G_ACTION_GROUP(app_), actions.get()[0] + 4, nullptr);
    return true;
  }
  gtk_bindings_activate_event(G_OBJECT(window_), event);
  return true;
}

}  // namespace quorvel
