#include "web/page_view.h"

#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include "base/milestones.h"
#include "launch/launch_settings.h"
#include "web/connection_watcher.h"
#include "web/context_menu.h"
#include "web/cursor_hider.h"
#include "web/downloads.h"
#include "web/find_bar.h"
#include "web/launch_token_load.h"
#include "web/navigation_policy.h"
#include "web/page_dialogs.h"
#include "web/page_notifications.h"
#include "web/page_permissions.h"
#include "web/page_printing.h"
#include "web/page_zoom.h"
#include "web/settings_command.h"
#include "web/spell_checking.h"
#include "web/swipe_gestures.h"
#include "web/token_cookie_filter.h"
#include "web/web_process_start.h"

namespace quorvel {
namespace {

bool inspectorWanted(const Environment& environment) {
  auto value = environment.find("QUORVEL_INSPECTOR");
  return value != environment.end() && value->second == "1";
}

}  // namespace

struct PageView::Parts {
  std::unique_ptr<TokenCookieFilter> cookieFilter;
  std::unique_ptr<PagePermissions> permissions;
  std::unique_ptr<PageNotifications> notifications;
  std::unique_ptr<PageZoom> zoom;
  std::unique_ptr<FullscreenCursorHider> cursorHider;
  std::unique_ptr<SwipeGestures> swipeGestures;
  std::unique_ptr<ConnectionWatcher> connectionWatcher;
  std::unique_ptr<SettingsCommand> settingsCommand;
  std::unique_ptr<NavigationPolicy> navigationPolicy;
  std::unique_ptr<PageDialogs> dialogs;
  std::unique_ptr<Downloads> downloads;
  std::unique_ptr<PagePrinting> printing;
  std::unique_ptr<PageContextMenu> contextMenu;
  std::unique_ptr<FindBar> findBar;
};

PageView::PageView(const LaunchSettings& settings, Events events)
    : settings_(settings),
      inspector_(inspectorWanted(settings.inherited)),
      events_(std::move(events)),
      parts_(std::make_unique<Parts>()) {
  build();
  watch();
}

PageView::~PageView() = default;

void PageView::build() {
  // A persistent store: cookies and storage survive restarts, under the data
  // directory rather than WebKit's default place.
  std::string dataDir = settings_.supportDir + "/WebKit";
  std::string cacheDir = settings_.home + "/Library/Caches/Quorvel";
  auto data = GRef<WebKitWebsiteDataManager>::adopt(webkit_website_data_manager_new(
      "base-data-directory", dataDir.c_str(), "base-cache-directory", cacheDir.c_str(), nullptr));
  auto context = GRef<WebKitWebContext>::adopt(webkit_web_context_new_with_website_data_manager(data.get()));
  // WebKit's choice for a local application: a modest memory cache, and the
  // back/forward cache kept. Before the web process starts, which takes it along.
  webkit_web_context_set_cache_model(context.get(), WEBKIT_CACHE_MODEL_DOCUMENT_BROWSER);
  webView_ = WEBKIT_WEB_VIEW(g_object_new(WEBKIT_TYPE_WEB_VIEW, "web-context", context.get(), nullptr));
  WebKitSettings* webSettings = webkit_web_view_get_settings(webView_);
  webkit_settings_set_enable_fullscreen(webSettings, TRUE);
  webkit_settings_set_media_playback_requires_user_gesture(webSettings, FALSE);
  webkit_settings_set_zoom_text_only(webSettings, FALSE);
  Parts& p = *parts_;
  // Compiled while the server starts: the first page waits for it.
  p.cookieFilter = std::make_unique<TokenCookieFilter>(webView_, settings_.origin, cacheDir + "/ContentFilters");
  // Before its web process starts, which takes the permissions along.
  p.permissions = std::make_unique<PagePermissions>(webView_, settings_.origin);
  p.notifications = std::make_unique<PageNotifications>(webView_);
  // Its web process boots alongside the server and the window rather than after them.
  startWebProcess(webView_);
  // Lasting cookies are kept on disk, session cookies (the launch token's) never.
  // Before any cookie is set, as choosing the storage starts the store afresh; not
  // earlier, as it starts the network process, which would slow the GL start.
  webkit_cookie_manager_set_persistent_storage(webkit_website_data_manager_get_cookie_manager(data.get()),
                                               (dataDir + "/cookies.sqlite").c_str(),
                                               WEBKIT_COOKIE_PERSISTENT_STORAGE_SQLITE);
  // Before any page: the first one shows at the saved zoom and learns the connection from its cookie.
  p.zoom = std::make_unique<PageZoom>(webView_, settings_.supportDir + "/page-zoom");
  p.cursorHider = std::make_unique<FullscreenCursorHider>(webView_);
  p.swipeGestures = std::make_unique<SwipeGestures>(webView_);
  p.connectionWatcher = std::make_unique<ConnectionWatcher>(webView_, settings_.origin.host());
  p.settingsCommand = std::make_unique<SettingsCommand>(webView_, settings_.baseURL + "settings");
  p.navigationPolicy = std::make_unique<NavigationPolicy>(webView_, settings_.origin);
  p.dialogs = std::make_unique<PageDialogs>(
      webView_, [this](const std::string& message, bool confirm, std::function<void(bool)> answer) {
        events_.question(message, confirm, std::move(answer));
      });
  p.downloads = std::make_unique<Downloads>(context.get(), settings_.origin,
                                            [this](const DownloadReport& report) { events_.downloadEnded(report); });
  p.printing = std::make_unique<PagePrinting>(webView_,
                                              [this](const std::string& why) { events_.problem("Couldn't print: " + why); });
  p.contextMenu = std::make_unique<PageContextMenu>(webView_, settings_.origin, inspector_);
  p.findBar = std::make_unique<FindBar>(webView_);
  if (inspector_) {
    webkit_settings_set_enable_developer_extras(webSettings, TRUE);
    g_message("web inspector enabled");
  }
}

void PageView::watch() {
  connections_.add(webView_, "web-process-terminated",
                   G_CALLBACK(+[](PageView* self, WebKitWebProcessTerminationReason reason) {
                     g_debug("The page's web process ended");
                     if (reason != WEBKIT_WEB_PROCESS_TERMINATED_BY_API) self->events_.processEnded();
                   }),
                   this, G_CONNECT_SWAPPED);
  // The page to come back to: only one of the server's that the window shows, so
  // never a navigation still under way (a redirect to a foreign site, say), which
  // would take the token there. Also a page's own change of address (pushState),
  // which happens outside a load.
  connections_.add(webView_, "notify::uri", G_CALLBACK(+[](PageView* self) {
                     if (!self->navigating_) self->shown();
                   }),
                   this, G_CONNECT_SWAPPED);
  connections_.add(webView_, "load-changed", G_CALLBACK(+[](PageView* self, WebKitLoadEvent event) {
                     self->navigating_ = event == WEBKIT_LOAD_STARTED || event == WEBKIT_LOAD_REDIRECTED;
                     if (event == WEBKIT_LOAD_COMMITTED) self->shown();
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
                   this, G_CONNECT_SWAPPED);
  // The dictionaries load at the first key typed into the page, before WebKit has
  // it, so that the first word is checked too.
  connections_.add(webView_, "key-press-event", G_CALLBACK(+[](PageView* self) -> gboolean {
                     if (!self->spelling_) enableSpellChecking(webkit_web_view_get_context(self->webView_));
                     self->spelling_ = true;
                     return FALSE;
                   }),
                   this, G_CONNECT_SWAPPED);
  connections_.add(webView_, "enter-fullscreen", G_CALLBACK(+[](PageView* self) -> gboolean {
                     self->events_.elementFullScreen(true);
                     return FALSE;
                   }),
                   this, G_CONNECT_SWAPPED);
  connections_.add(webView_, "leave-fullscreen", G_CALLBACK(+[](PageView* self) -> gboolean {
                     self->events_.elementFullScreen(false);
                     return FALSE;
                   }),
                   this, G_CONNECT_SWAPPED);
}

void PageView::shown() {
  const char* uri = webkit_web_view_get_uri(webView_);
  if (uri && loadsWithToken(uri, settings_.origin)) events_.pageChanged(uri);
}

GtkWidget* PageView::widget() const { return GTK_WIDGET(webView_); }
GtkWidget* PageView::findBarWidget() const { return parts_->findBar->widget(); }
bool PageView::isWebView(GtkWidget* widget) { return WEBKIT_IS_WEB_VIEW_BASE(widget); }

void PageView::load(const LaunchToken& token, const std::string& url) {
  parts_->cookieFilter->whenReady([this, &token, url] { loadWithToken(token, url, webView_, settings_.origin); });
}

void PageView::reload() { webkit_web_view_reload(webView_); }
void PageView::goBack() { webkit_web_view_go_back(webView_); }
void PageView::goForward() { webkit_web_view_go_forward(webView_); }
void PageView::zoomIn() { parts_->zoom->zoomIn(); }
void PageView::zoomOut() { parts_->zoom->zoomOut(); }
void PageView::actualSize() { parts_->zoom->actualSize(); }
void PageView::find() { parts_->findBar->open(); }
void PageView::findStep(bool next) { parts_->findBar->step(next); }
void PageView::closeFind() { parts_->findBar->close(); }
void PageView::print() { parts_->printing->print(); }
void PageView::openSettings() { parts_->settingsCommand->openSettings(); }

void PageView::toggleInspector() {
  if (!inspector_) return;
  WebKitWebInspector* inspector = webkit_web_view_get_inspector(webView_);
  // It has a view of its own only while it is shown.
  if (webkit_web_inspector_get_web_view(inspector)) {
    webkit_web_inspector_close(inspector);
  } else {
    webkit_web_inspector_show(inspector);
  }
}

void PageView::edit(Edit command) {
  static const char* const names[] = {WEBKIT_EDITING_COMMAND_UNDO,  WEBKIT_EDITING_COMMAND_REDO,
                                      WEBKIT_EDITING_COMMAND_CUT,   WEBKIT_EDITING_COMMAND_COPY,
                                      WEBKIT_EDITING_COMMAND_PASTE, WEBKIT_EDITING_COMMAND_SELECT_ALL};
  // GTK runs the accelerator before the widget with the keyboard sees the key: the
  // command goes to that widget, in whichever of Quorvel's windows has the keyboard
  // (the find bar's field, the recovery view's log, a dialog), and to the page only
  // when the page has it.
  GtkWidget* page = GTK_WIDGET(webView_);
  GtkWidget* top = gtk_widget_get_toplevel(page);
  GtkWindow* own = GTK_IS_WINDOW(top) ? GTK_WINDOW(top) : nullptr;
  GtkWindow* active = own;
  ListPtr toplevels(gtk_window_list_toplevels());
  for (GList* each = toplevels.get(); each; each = each->next) {
    if (gtk_window_is_active(GTK_WINDOW(each->data))) active = GTK_WINDOW(each->data);
  }
  GtkWidget* focus = active ? gtk_window_get_focus(active) : nullptr;
  if (focus == page || (!focus && active == own && gtk_widget_get_mapped(page))) {
    webkit_web_view_execute_editing_command(webView_, names[static_cast<int>(command)]);
    return;
  }
  // The web inspector has had the key first, and has no editing commands to call.
  if (!focus || WEBKIT_IS_WEB_VIEW_BASE(focus)) return;
  if (command == Edit::SelectAll) {
    if (GTK_IS_LABEL(focus)) gtk_label_select_region(GTK_LABEL(focus), 0, -1);
    if (GTK_IS_EDITABLE(focus)) gtk_editable_select_region(GTK_EDITABLE(focus), 0, -1);
    if (GTK_IS_TEXT_VIEW(focus)) g_signal_emit_by_name(focus, "select-all", TRUE);
    return;
  }
  // The widget's own clipboard signal, where it has one (a label only copies).
  const char* signal = command == Edit::Cut     ? "cut-clipboard"
                       : command == Edit::Copy  ? "copy-clipboard"
                       : command == Edit::Paste ? "paste-clipboard"
                                                : nullptr;
  if (signal && g_signal_lookup(signal, G_OBJECT_TYPE(focus))) g_signal_emit_by_name(focus, signal);
}

void PageView::setHidden(bool hidden) {
  // Silent while the window is hidden (a script reaches only the top document's
  // media, not a frame's player); paused too.
  webkit_web_view_set_is_muted(webView_, hidden);
  if (!hidden) return;
  webkit_web_view_evaluate_javascript(webView_,
                                      "document.querySelectorAll('audio, video').forEach(function (m) { m.pause(); });",
                                      -1, nullptr, nullptr, nullptr, nullptr, nullptr);
}

}  // namespace quorvel
