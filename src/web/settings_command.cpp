#include "web/settings_command.h"

#include <webkit2/webkit2.h>

#include "base/glib_ptr.h"
#include "web/rules/navigation_rules.h"

namespace quorvel {

SettingsCommand::SettingsCommand(WebKitWebView* webView, std::string plainSettingsURL)
    : webView_(webView), plainSettingsURL_(std::move(plainSettingsURL)) {}

void SettingsCommand::openSettings() {
  GtkWidget* top = gtk_widget_get_toplevel(GTK_WIDGET(webView_));
  if (gtk_widget_is_toplevel(top)) gtk_window_present(GTK_WINDOW(top));
  gtk_widget_grab_focus(GTK_WIDGET(webView_));
  // The answer holds this command weakly: a command gone meanwhile loads nothing.
  webkit_web_view_evaluate_javascript(
      webView_, linkScript, -1, nullptr, nullptr, nullptr,
      [](GObject* view, GAsyncResult* result, gpointer data) {
        auto self = WeakOwner<SettingsCommand>::take(data).get();
        auto value = GRef<JSCValue>::adopt(webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(view), result, nullptr));
        if (!self) return;
        std::string url = self->plainSettingsURL_;
        if (value && jsc_value_is_string(value.get())) {
          GCharPtr href(jsc_value_to_string(value.get()));
          if (parsePageURL(href.get())) url = href.get();
        }
        webkit_web_view_load_uri(WEBKIT_WEB_VIEW(view), url.c_str());
      },
      anchor_.weak().data());
}

}  // namespace quorvel
