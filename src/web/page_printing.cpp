#include "web/page_printing.h"

#include <gtk/gtk.h>
#include <webkit2/webkit2.h>
#include <algorithm>

namespace quorvel {
namespace {

using Owner = WeakOwner<PagePrinting>;

void connectWeakly(WebKitPrintOperation* operation, const char* signal, GCallback handler, const Owner& owner) {
  // Freed with the operation, so that nothing piles up print after print.
  SignalConnections::forLifeOf(operation, signal, handler, new Owner(owner));
}

}  // namespace

PagePrinting::PagePrinting(WebKitWebView* webView, std::function<void(const std::string& why)> failed)
    : webView_(webView), failed_(std::move(failed)) {
  // window.print(): WebKit's own dialog, which prints the frame that asked (the
  // public call prints only the whole page), modal to the window, from the last
  // print's settings.
  connections_.add(webView, "print", G_CALLBACK(+[](WebKitWebView*, WebKitPrintOperation* operation,
                                                     PagePrinting* self) -> gboolean {
                     self->prepare(operation);
                     return FALSE;
                   }),
                   this);
}

void PagePrinting::print() {
  auto operation = GRef<WebKitPrintOperation>::adopt(webkit_print_operation_new(webView_));
  prepare(operation.get());
  GtkWidget* top = gtk_widget_get_toplevel(GTK_WIDGET(webView_));
  GtkWindow* parent = gtk_widget_is_toplevel(top) ? GTK_WINDOW(top) : nullptr;
  // Modal: it returns once the dialog is answered. Held until it finishes: the
  // pages are made and sent after the dialog closes.
  if (webkit_print_operation_run_dialog(operation.get(), parent) == WEBKIT_PRINT_OPERATION_RESPONSE_PRINT) {
    remember(operation.get());
    printing_.push_back(std::move(operation));
  }
}

void PagePrinting::prepare(WebKitPrintOperation* operation) {
  if (settings_) webkit_print_operation_set_print_settings(operation, settings_.get());
  if (pageSetup_) webkit_print_operation_set_page_setup(operation, pageSetup_.get());
  connectWeakly(operation, "failed", G_CALLBACK(+[](WebKitPrintOperation*, GError* error, Owner* owner) {
                  if (auto self = owner->get()) self->failed_(error && error->message ? error->message : "the printer did not answer");
                }),
                anchor_.weak());
  // Only a print that was sent finishes.
  connectWeakly(operation, "finished", G_CALLBACK(+[](WebKitPrintOperation* done, Owner* owner) {
                  auto self = owner->get();
                  if (!self) return;
                  self->remember(done);
                  std::erase_if(self->printing_, [done](const auto& held) { return held.get() == done; });
                }),
                anchor_.weak());
}

void PagePrinting::remember(WebKitPrintOperation* operation) {
  settings_ = GRef<GtkPrintSettings>::retain(webkit_print_operation_get_print_settings(operation));
  pageSetup_ = GRef<GtkPageSetup>::retain(webkit_print_operation_get_page_setup(operation));
}

}  // namespace quorvel
