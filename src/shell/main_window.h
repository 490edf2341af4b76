#pragma once
// The one window: the page, and in its place while there is none to show, the
// start-up spinner or a recovery view; the menu bar above and the notice bar below.
// It carries out what the session decides and reports what happens to the page;
// it decides nothing itself.

#include <array>
#include <vector>

#include "shell/model/window_state.h"
#include "shell/recovery_view.h"
#include "web/page_view.h"

typedef struct _GdkEventKey GdkEventKey;
typedef struct _GtkApplication GtkApplication;
typedef struct _GtkWindow GtkWindow;

namespace quorvel {

class NoticeBar;

class MainWindow {
 public:
  struct Events {
    std::function<void()> pageProcessEnded;                   // not when Quorvel ends it
    std::function<void(const std::string& url)> pageChanged;  // the server's page shown now
  };

  // Builds the window hidden, the spinner showing, and starts the page's web process.
  MainWindow(GtkApplication* app, const LaunchSettings& settings, Events events);
  ~MainWindow();
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;

  GtkWindow* window() const { return window_; }
  PageView& page() { return *page_; }

  // Shows the window and gives the page the keyboard when it is there.
  void present();
  void showSpinner();
  void showPage();
  void showRecovery(const std::string& title, const std::string& detail, const std::string& log,
                    std::vector<RecoveryView::Choice> choices);

  void toggleFullScreen();
  void saveState();

 private:
  void buildWindow();
  void elementFullscreenChanged(bool full);
  static int keyPressed(MainWindow* self, GdkEventKey* event);
  bool keyLeftByPage(GdkEventKey* event);

  GtkApplication* app_;
  const LaunchSettings& settings_;
  Events events_;
  std::unique_ptr<PageView> page_;
  GtkWindow* window_ = nullptr;  // owned by GTK's list of toplevels until destroyed here
  GtkWidget* stack_ = nullptr;
  GtkWidget* spinner_ = nullptr;
  std::array<guint32, 4> keyForPage_{};  // the last key press the web view had: time, code, value, modifiers
  std::unique_ptr<RecoveryView> recoveryView_;
  std::unique_ptr<NoticeBar> notice_;
  SignalConnections connections_;
  WindowState size_;  // the last size the user gave it, maximized or not
  bool noticeWasShown_ = false;  // before an element of the page went full screen
  bool windowShownLogged_ = false;
};

}  // namespace quorvel
