#pragma once
// The GtkApplication's lifecycle: the server starts before GTK's own start-up, the
// first activation builds the window and the menu, a later one brings the window
// back, shutdown stops the server. In between it hands the session's decisions to
// the window and the server controller.

#include <memory>

#include "base/app_error.h"
#include "server/server_controller.h"
#include "shell/dark_style.h"
#include "shell/model/main_menu.h"
#include "shell/main_window.h"
#include "shell/model/session.h"
#include "shell/update_dialog.h"
#include "update/update_checker.h"

typedef struct _GtkApplication GtkApplication;

namespace quorvel {

class AppDelegate {
 public:
  AppDelegate(GtkApplication* app, const LaunchSettings& settings);
  ~AppDelegate();
  AppDelegate(const AppDelegate&) = delete;
  AppDelegate& operator=(const AppDelegate&) = delete;

  // The user asked to relaunch after an update: the entry point starts Quorvel again
  // once this run has ended in order.
  bool relaunchRequested() const { return relaunch_; }

 private:
  void applicationWillFinishLaunching();  // "will-start-up" (shell/application.h)
  void applicationDidFinishLaunching();   // first "activate"
  void applicationShouldHandleReopen();   // every later "activate"
  void applicationWillTerminate();        // "shutdown"

  void apply(const Session::Step& step);
  void showServerStopped(const std::string& why);
  void showPageStopped();
  // app_delegate_commands.cpp: the menu and what its entries do.
  void buildMenu();
  void run(Command command);
  void enablePageCommands(bool enabled);
  void showServerLog();
  void showAbout();
  void showUpdateMessage(const UpdateMessage& message);
  void showUpdateOffer(const UpdateOffer& offer);
  void showUpdateProgress(const std::string& status, double fraction, bool cancellable);

  GtkApplication* app_;
  const LaunchSettings& settings_;
  ServerController server_;
  UpdateChecker updater_;
  Session session_;
  std::unique_ptr<MainWindow> window_;
  std::unique_ptr<DarkStyle> darkStyle_;
  std::unique_ptr<ServerEnd> serverEnd_;  // how the server last ended
  std::unique_ptr<UpdateProgress> updateProgress_;
  bool relaunch_ = false;
  SignalConnections connections_;
  unsigned signalSources_[3] = {};
};

}  // namespace quorvel
