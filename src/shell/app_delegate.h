#pragma once
// Ties Quorvel together: the GtkApplication's lifecycle, the one window with its
// web view and spinner, the menu, the server controller and the update checker.

#include <memory>

#include "base/app_error.h"
#include "server/server_controller.h"
#include "update/update_checker.h"

typedef struct _GtkApplication GtkApplication;
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
  void applicationDidFinishLaunching();  // first "activate"
  void applicationShouldHandleReopen();  // every later "activate"
  void applicationWillTerminate();       // "shutdown"
  void windowWillClose();                // "close-request"

  void startDidFinish(const Status& result);
  void buildWindow();   // app_window.cpp
  void buildMenu();     // app_menu.cpp
  void installActions();
  void saveWindowState();

  // Menu actions.
  void reload();
  void goBack();
  void goForward();
  void toggleFullScreen();
  void showAbout();
  void showUpdateMessage(const UpdateMessage& message);
  void quit();

  static void onActivate(GtkApplication* app, AppDelegate* self);
  static void onShutdown(GtkApplication* app, AppDelegate* self);

  GtkApplication* app_;
  const LaunchSettings& settings_;
  ServerController server;
  UpdateChecker updater;
  // The page-zoom, Settings, cursor-hider and connection-watcher objects take
  // their places here and in buildWindow() as they are built.
  GtkWindow* window = nullptr;
  WebKitWebView* webView = nullptr;
  GtkWidget* spinner = nullptr;
  bool launched_ = false;
  bool windowShownLogged_ = false;
  bool firstLoadLogged_ = false;
  unsigned signalSources_[3] = {};
};

}  // namespace quorvel
