#pragma once
// The page: the web view, its context and everything that attaches to them, built
// in the order WebKit needs. The window places its widgets and gives it commands;
// it reports what happens to the page and leaves the window's own parts (dialogs,
// the notice bar, the menu bar) to the window.

#include <functional>
#include <memory>
#include <string>

#include "base/glib_ptr.h"

typedef struct _GtkWidget GtkWidget;
typedef struct _WebKitWebView WebKitWebView;

namespace quorvel {

struct DownloadReport;
class LaunchToken;
struct LaunchSettings;

class PageView {
 public:
  struct Events {
    std::function<void()> processEnded;                       // not when Quorvel ends it
    std::function<void(const std::string& url)> pageChanged;  // the server's page shown now
    std::function<void(bool full)> elementFullScreen;         // an element (a video) fills the screen, or no more
    // alert() and confirm(): the message, whether there is a Cancel, and where the answer goes.
    std::function<void(const std::string& message, bool confirm, std::function<void(bool)> answer)> question;
    std::function<void(const DownloadReport& report)> downloadEnded;
    std::function<void(const std::string& text)> problem;  // a print that failed
  };
  enum class Edit { Undo, Redo, Cut, Copy, Paste, SelectAll };

  // Starts the page's web process at once: it boots alongside the server.
  PageView(const LaunchSettings& settings, Events events);
  ~PageView();
  PageView(const PageView&) = delete;
  PageView& operator=(const PageView&) = delete;

  GtkWidget* widget() const;         // the web view, to place
  GtkWidget* findBarWidget() const;  // to place above it
  // The page's own widget, or the web inspector's, which is a web view too.
  static bool isWebView(GtkWidget* widget);
  // QUORVEL_INSPECTOR=1 in Quorvel's environment: the web inspector for the
  // application's authors. Without it, none of it.
  bool inspectorEnabled() const { return inspector_; }

  // The token's cookie first, then the page: only one of the server's.
  void load(const LaunchToken& token, const std::string& url);
  void reload();
  void goBack();
  void goForward();
  void zoomIn();
  void zoomOut();
  void actualSize();
  void find();
  void findStep(bool next);
  void closeFind();
  void print();
  void openSettings();
  void toggleInspector();
  // On whatever has the keyboard in Quorvel's windows: the page, a field, a log.
  void edit(Edit command);
  // The window hidden (media paused and muted) or shown again.
  void setHidden(bool hidden);

 private:
  struct Parts;
  void build();
  void watch();
  void shown();

  const LaunchSettings& settings_;
  const bool inspector_;
  Events events_;
  WebKitWebView* webView_ = nullptr;  // a floating reference until the window places it
  std::unique_ptr<Parts> parts_;
  SignalConnections connections_;
  bool navigating_ = false;  // from a navigation's start until its page commits
  bool firstByteLogged_ = false, firstLoadLogged_ = false;
  bool spelling_ = false;  // dictionaries loaded
};

}  // namespace quorvel
