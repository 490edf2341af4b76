#include "web/page_printing.h"

#include <gtk/gtk.h>
#include <webkit2/webkit2.h>
#include <algorithm>

namespace quorvel {

PagePrinting::PagePrinting(WebKitWebView* webView, std::function<void(const std::string& why)> failed)
    : webView_(webView), failed_(std::move(failed)) {
  // window.print(): the same dialog as the Print command, instead of WebKit's own.
  connections_.add(webView, "print", G_CALLBACK(+[](WebKitWebView*, WebKitPrintOperation* operation,
                                                     PagePrinting* self) -> gboolean {
                     self->run(operation);
                     return TRUE;
                   }),
                   this);
}

void PagePrinting::print() {
  auto operation = GRef<WebKitPrintOperation>::adopt(webkit_print_operation_new(webView_));
  run(operation.get());
}

void PagePrinting::run(WebKitPrintOperation* operation) {
  if (settings_) webkit_print_operation_set_print_settings(operation, settings_.get());
  GtkWidget* top = gtk_widget_get_toplevel(GTK_WIDGET(webView_));
  GtkWindow* parent = gtk_widget_is_toplevel(top) ? GTK_WINDOW(top) : nullptr;
  // Held until it finishes: the pages are made and sent after the dialog closes.
  printing_.push_back(GRef<WebKitPrintOperation>::retain(operation));
  connections_.add(operation, "failed", G_CALLBACK(+[](WebKitPrintOperation*, GError* error, PagePrinting* self) {
                     self->failed_(error && error->message ? error->message : "the printer did not answer");
                   }),
                   this);
  connections_.add(operation, "finished", G_CALLBACK(+[](WebKitPrintOperation* done, PagePrinting* self) {
                     std::erase_if(self->printing_, [done](const auto& held) { return held.get() == done; });
                   }),
                   this);
  // Modal: it returns once the dialog is answered.
  if (webkit_print_operation_run_dialog(operation, parent) == WEBKIT_PRINT_OPERATION_RESPONSE_PRINT) {
    settings_ = GRef<GtkPrintSettings>::retain(webkit_print_operation_get_print_settings(operation));
  } else {
    std::erase_if(printing_, [operation](const auto& held) { return held.get() == operation; });
  }
}

}  // namespace quorvel
