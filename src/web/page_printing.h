#pragma once
// Printing the page as shown: the print dialog, modal to the window, for the
// Print command and for the page's own window.print(). The settings of one
// print are the next dialog's (printer, paper, file), for as long as Quorvel runs.

#include <functional>
#include <string>
#include <vector>

#include "base/glib_ptr.h"

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
  void run(WebKitPrintOperation* operation);

  WebKitWebView* webView_;
  std::function<void(const std::string&)> failed_;
  GRef<GtkPrintSettings> settings_;
  std::vector<GRef<WebKitPrintOperation>> printing_;  // sent, until they finish
  SignalConnections connections_;
};

}  // namespace quorvel
