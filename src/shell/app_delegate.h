#pragma once
// Ties Quorvel together: the GtkApplication's lifecycle, the one window with its
// web view and spinner, the menu, the server controller and the update checker.

#include <memory>

#include "base/app_error.h"
#include "server/server_controller.h"
#include "shell/download_notice.h"
#include "shell/recovery_view.h"
#include "update/update_checker.h"
#include "web/connection_watcher.h"
#include "web/cursor_hider.h"
#include "web/downloads.h"
#include "web/navigation_policy.h"
#include "web/page_dialogs.h"
#include "web/page_zoom.h"
#include "web/settings_command.h"
#include "web/swipe_gestures.h"

typedef struct _GtkApplication GtkApplication;
typedef struct _GtkEventControllerKey GtkEventControllerKey;
typedef struct _GtkWindow GtkWindow;
typedef struct _GtkWidget GtkWidget;
typedef struct _WebKitWebView WebKitWebView;

namespace quorvel {

class AppDelegate {
 public:
  AppDelegate(GtkApplication* app, const LaunchSettings& settings);
  ~AppDelegate();
  AppDelegate(const AppDelegate&) = delete;
  AppDelegate& operator=(const AppDelegate&) = delete;

 private:
  // GtkApplication signals.
  void applicationWillFinishLaunching();  // "will-start-up" (shell/application.h)
  void applicationDidFinishLaunching();  // first "activate"
  void applicationShouldHandleReopen();  // every later "activate"
  void applicationWillTerminate();       // "shutdown"
  void windowWillClose();                // "close-request"

  void startDidFinish(const Status& result);
  void buildWindow();   // app_window.cpp
  void buildMenu();     // app_menu.cpp
  void installActions();
  void letThePageHaveItsKeysFirst();
  void showSpinner();
  void serverStopped(const ServerEnd& end);
  void restartServer();
  void pageStopped();
  void loadShownPage();
  void showServerLog();
  void saveWindowState();

  // Menu actions.
  void reload();
  void goBack();
  void goForward();
  void toggleFullScreen();
  void showAbout();
  void showUpdateMessage(const UpdateMessage& message);
  void quit();

  static int keyPressed(GtkEventControllerKey* controller, unsigned keyval, unsigned keycode, unsigned state,
                        AppDelegate* self);
  static void onActivate(GtkApplication* app, AppDelegate* self);
  static void onShutdown(GtkApplication* app, AppDelegate* self);

  GtkApplication* app_;
  const LaunchSettings& settings_;
  ServerController server;
  UpdateChecker updater;
  std::unique_ptr<FullscreenCursorHider> cursorHider;
  std::unique_ptr<SwipeGestures> swipeGestures;
  std::unique_ptr<ConnectionWatcher> connectionWatcher;
  std::unique_ptr<PageZoom> pageZoom;
  std::unique_ptr<SettingsCommand> settingsCommand;
  std::unique_ptr<NavigationPolicy> navigationPolicy;
  std::unique_ptr<PageDialogs> pageDialogs;
  std::unique_ptr<Downloads> downloads;
  std::unique_ptr<DownloadNotice> downloadNotice;
  std::unique_ptr<RecoveryView> recoveryView;
  GtkWindow* window = nullptr;
  WebKitWebView* webView = nullptr;
  GtkWidget* spinner = nullptr;
  GtkWidget* overlay = nullptr;  // the web view with the spinner over it
  GtkWidget* stack = nullptr;    // the overlay, or the recovery view in its place
  std::string pageToLoad_;       // once the server is up: its root, or the page shown before a restart
  std::string shownPage_;        // the page the web view shows, or is on its way to
  static constexpr gint64 kPageCrashWindow = 30 * G_USEC_PER_SEC;
  gint64 pageStoppedAt_ = 0;
  bool quitting_ = false;
  bool launched_ = false;
  bool windowShownLogged_ = false;
  bool firstByteLogged_ = false;
  bool firstLoadLogged_ = false;
  unsigned signalSources_[3] = {};
};

}  // namespace quorvel
