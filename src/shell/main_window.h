#pragma once
// The one window: the web view with what attaches to it, and in its place while
// there is no page to show, the start-up spinner or a recovery view; the menu bar
// above and the download notice below. It carries out what the session decides
// and reports what happens to the page; it decides nothing itself.

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/glib_ptr.h"
#include "launch/launch_settings.h"
#include "launch/launch_token.h"
#include "shell/download_notice.h"
#include "shell/find_bar.h"
#include "shell/recovery_view.h"
#include "web/connection_watcher.h"
#include "web/context_menu.h"
#include "web/cursor_hider.h"
#include "web/downloads.h"
#include "web/navigation_policy.h"
#include "web/page_dialogs.h"
#include "web/page_printing.h"
#include "web/page_notifications.h"
#include "web/page_permissions.h"
#include "web/page_zoom.h"
#include "web/settings_command.h"
#include "web/swipe_gestures.h"
#include "web/token_cookie_filter.h"

typedef struct _GdkEventKey GdkEventKey;

namespace quorvel {

class MainWindow {
 public:
  struct Events {
    std::function<void()> pageProcessEnded;                // not when Quorvel ends it
    std::function<void(const std::string& url)> pageChanged;  // the server's page shown now
  };

  // Builds the window hidden, the spinner showing, and starts the page's web process.
  MainWindow(GtkApplication* app, const LaunchSettings& settings, Events events);
  ~MainWindow();
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;

  GtkWindow* window() const { return window_; }
  WebKitWebView* webView() const { return webView_; }
  PageZoom& pageZoom() { return *pageZoom_; }
  SettingsCommand& settingsCommand() { return *settingsCommand_; }
  FindBar& findBar() { return *findBar_; }
  PagePrinting& pagePrinting() { return *pagePrinting_; }
  // QUORVEL_INSPECTOR=1 in Quorvel's environment: the web inspector for the
  // application's authors. Without it, none of it.
  bool inspectorEnabled() const { return inspector_; }
  void toggleInspector();

  // Shows the window and gives the page the keyboard when it is there.
  void present();
  void showSpinner();
  void showPage();
  void showRecovery(const std::string& title, const std::string& detail, const std::string& log,
                    std::vector<RecoveryView::Choice> choices);
  // The token's cookie first, then the page: only one of the server's.
  void load(const LaunchToken& token, const std::string& url);

  void toggleFullScreen();
  void saveState();

 private:
  void buildWebView();
  void watchPage();
  void letThePageHaveItsKeysFirst();
  static int keyPressed(MainWindow* self, GdkEventKey* event);
  bool keyLeftByPage(GdkEventKey* event);
  void elementFullscreenChanged(bool full);
  void pageShown();

  GtkApplication* app_;
  const LaunchSettings& settings_;
  const bool inspector_;
  Events events_;
  GtkWindow* window_ = nullptr;  // owned by GTK's list of toplevels until destroyed here
  WebKitWebView* webView_ = nullptr;
  GtkWidget* stack_ = nullptr;
  GtkWidget* spinner_ = nullptr;
  std::array<guint32, 4> keyForPage_{};  // the last key press the web view had: time, code, value, modifiers
  std::unique_ptr<RecoveryView> recoveryView_;
  std::unique_ptr<DownloadNotice> downloadNotice_;
  std::unique_ptr<PageZoom> pageZoom_;
  std::unique_ptr<FullscreenCursorHider> cursorHider_;
  std::unique_ptr<SwipeGestures> swipeGestures_;
  std::unique_ptr<ConnectionWatcher> connectionWatcher_;
  std::unique_ptr<SettingsCommand> settingsCommand_;
  std::unique_ptr<NavigationPolicy> navigationPolicy_;
  std::unique_ptr<PageDialogs> pageDialogs_;
  std::unique_ptr<Downloads> downloads_;
  std::unique_ptr<FindBar> findBar_;
  std::unique_ptr<PagePrinting> pagePrinting_;
  std::unique_ptr<PageContextMenu> contextMenu_;
  std::unique_ptr<PagePermissions> pagePermissions_;
  std::unique_ptr<PageNotifications> pageNotifications_;
  std::unique_ptr<TokenCookieFilter> cookieFilter_;
  SignalConnections connections_;
  int width_ = 0, height_ = 0;  // the last size the user gave it, maximized or not
  bool noticeWasShown_ = false;  // before an element of the page went full screen
  bool navigating_ = false;      // from a navigation's start until its page commits
  bool windowShownLogged_ = false, firstByteLogged_ = false, firstLoadLogged_ = false;
};

}  // namespace quorvel
