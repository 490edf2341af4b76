#pragma once
// Printing the page as shown: the print dialog, modal to the window, for the
// Print command (the whole page) and for the page's own window.print() (the frame
// that called it). The settings and the page setup of one print are the next
// dialog's (printer, paper, orientation, file), for as long as Quorvel runs.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/glib_ptr.h"

typedef struct _GtkPageSetup GtkPageSetup;
typedef struct _GtkPrintSettings GtkPrintSettings;
typedef struct _WebKitPrintOperation WebKitPrintOperation;
typedef struct _WebKitWebView WebKitWebView;

namespace quorvel {

class PagePrinting {
 public:
  // `failed` gets why a print that was sent did not come out.
  PagePrinting(WebKitWebView* webView, std::function<void(const std::string& why)> failed);
  PagePrinting(const PagePrinting&) = delete;
  PagePrinting& operator=(const PagePrinting&) = delete;

  void print();

 private:
  // The last print's settings on `operation`, and its outcome watched.
  void prepare(WebKitPrintOperation* operation);
  void remember(WebKitPrintOperation* operation);

  WebKitWebView* webView_;
  std::function<void(const std::string&)> failed_;
  GRef<GtkPrintSettings> settings_;
  GRef<GtkPageSetup> pageSetup_;
  std::vector<GRef<WebKitPrintOperation>> printing_;  // the Print command's, sent, until they finish
  // What an operation's handlers hold: they outlive this object when it goes first.
  const WeakAnchor<PagePrinting> anchor_{this};
  SignalConnections connections_;
};

}  // namespace quorvel
