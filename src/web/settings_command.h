#pragma once
// "Settings": shows the web application's own settings page, the one the current
// page links to (a.rail__settings) or, failing that, a fixed fallback.

#include <memory>
#include <string>

#include "base/glib_ptr.h"

typedef struct _WebKitWebView WebKitWebView;

namespace quorvel {

class SettingsCommand {
 public:
  static constexpr const char* linkScript = "document.querySelector('a.rail__settings')?.href ?? null";

  SettingsCommand(WebKitWebView* webView, std::string plainSettingsURL);

  // Presents the window (also after a close), asks the page for its settings link
  // and loads it, or the fallback when the page has none or cannot answer.
  void openSettings();

 private:
  WebKitWebView* webView_;
  const std::string plainSettingsURL_;
  const WeakAnchor<SettingsCommand> anchor_{this};  // held weakly by the page's answers
};

}  // namespace quorvel
