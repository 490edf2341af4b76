#pragma once
// Find in page: a search bar above the page, searching as one types
// (case-insensitive, wrapping), saying where it is ("3 of 12", "No matches").
// Return and Shift+Return go to the next and the previous match; Escape closes it,
// clears the highlight and gives the keyboard back to the page, and so does a new
// page loading.

#include <memory>
#include <string>

#include "base/glib_ptr.h"
#include "web/rules/find_progress.h"

typedef struct _GtkWidget GtkWidget;
typedef struct _WebKitWebView WebKitWebView;
typedef struct _WebKitFindController WebKitFindController;

namespace quorvel {

class FindBar {
 public:
  explicit FindBar(WebKitWebView* webView);
  FindBar(const FindBar&) = delete;
  FindBar& operator=(const FindBar&) = delete;

  GtkWidget* widget() const { return bar_; }  // owned by the window once placed
  // Find…: the bar with the keyboard in it, the page's selection as its text.
  void open();
  // Find Next / Find Previous; with the bar closed, it opens on the last text.
  void step(bool next);
  void close();

 private:
  bool isOpen() const;
  void reveal();
  void search();
  void searchNow(unsigned serial);
  void closed();
  void showProgress();

  WebKitWebView* webView_;
  WebKitFindController* finder_;  // the web view's
  GtkWidget* bar_;
  GtkWidget* entry_;
  GtkWidget* status_;
  FindProgress progress_;
  unsigned searchSerial_ = 0;  // the latest text typed
  std::string lastText_;       // the last one searched for
  WeakAnchor<FindBar> anchor_{this};  // held weakly by script answers
  SignalConnections connections_;
};

}  // namespace quorvel
