#include "web/connection_watcher.h"

#include <gtk/gtk.h>
#include <webkit2/webkit2.h>
#include <memory>

namespace quorvel {
namespace {

using CookiePtr = CPtr<SoupCookie, soup_cookie_free>;

// Run when the cookie store has made the change, so a listener reads the new state.
template <gboolean (*Finish)(WebKitCookieManager*, GAsyncResult*, GError**), bool Offline>
void cookieChanged(GObject* manager, GAsyncResult* result, gpointer data) {
  const auto weak = WeakOwner<WebKitWebView>::take(data);
  Finish(WEBKIT_COOKIE_MANAGER(manager), result, nullptr);
  if (auto webView = weak.get()) {
    const std::string script = ConnectionWatcher::changedScript(Offline);
    webkit_web_view_evaluate_javascript(webView.get(), script.c_str(), -1, nullptr, nullptr, nullptr, nullptr, nullptr);
  }
}

}  // namespace

std::string ConnectionWatcher::changedScript(bool offline) {
  return std::string("(function wait(tries) {"
                     "  const offline = document.cookie.split(/;\\s*/).includes('offline=1');"
                     "  if (offline === ") + (offline ? "true" : "false") + " || tries === 0)"
                     "    document.dispatchEvent(new Event('connection:changed'));"
                     "  else setTimeout(wait, 10, tries - 1);"
                     "})(100)";
}

ConnectionWatcher::ConnectionWatcher(WebKitWebView* webView, std::string host)
    : webView_(WeakOwner<WebKitWebView>::object(webView)),
      host_(std::move(host)),
      monitor_(GRef<GNetworkMonitor>::retain(g_network_monitor_get_default())) {
  connections_.add(monitor_.get(), "network-changed",
                   G_CALLBACK(+[](GNetworkMonitor*, gboolean available, ConnectionWatcher* self) {
                     self->update(!available);
                   }),
                   this);
  update(!g_network_monitor_get_network_available(monitor_.get()));
}

void ConnectionWatcher::update(bool offline) {
  g_debug("The network is %s", offline ? "gone" : "there");
  if (offline_ == offline) return;
  auto webView = webView_.get();
  // Nothing is recorded without a web view: the next report tries again.
  if (!webView) return;
  offline_ = offline;
  // A session cookie (no expiry), readable by the page's scripts.
  CookiePtr cookie(soup_cookie_new("offline", "1", host_.c_str(), "/", -1));
  WebKitCookieManager* cookies =
      webkit_website_data_manager_get_cookie_manager(webkit_web_view_get_website_data_manager(webView.get()));
  gpointer weak = webView_.data();
  if (offline) {
    webkit_cookie_manager_add_cookie(cookies, cookie.get(), nullptr,
                                     cookieChanged<webkit_cookie_manager_add_cookie_finish, true>, weak);
  } else {
    webkit_cookie_manager_delete_cookie(cookies, cookie.get(), nullptr,
                                        cookieChanged<webkit_cookie_manager_delete_cookie_finish, false>, weak);
  }
}

}  // namespace quorvel
