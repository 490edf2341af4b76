#pragma once
// The page's alert() and confirm() as dialogs modal to the window, and its file
// inputs as the desktop's file chooser, offering the input's accept types first.
// Prompt and before-unload dialogs keep
// WebKit's own.

#include <functional>
#include <string>

#include "base/glib_ptr.h"

typedef struct _WebKitWebView WebKitWebView;

namespace quorvel {

class PageDialogs {
 public:
  // Shows `message` with one default button (alert), or "OK" (the default) and
  // "Cancel" (confirm); `answer` gets true for OK. Escape answers false.
  using Present = std::function<void(const std::string& message, bool confirm, std::function<void(bool)> answer)>;

  PageDialogs(WebKitWebView* webView, Present present);
  PageDialogs(const PageDialogs&) = delete;
  PageDialogs& operator=(const PageDialogs&) = delete;

 private:
  Present present_;
  SignalConnections connections_;
};

}  // namespace quorvel
