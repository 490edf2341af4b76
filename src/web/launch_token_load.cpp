#include "web/launch_token_load.h"

#include <webkit2/webkit2.h>

#include "base/glib_ptr.h"
#include "web/rules/navigation_rules.h"

namespace quorvel {
namespace {

struct PendingLoad {
  WeakOwner<WebKitWebView> webView;
  std::string url;
};

void cookieStored(GObject* manager, GAsyncResult* result, gpointer data) {
  std::unique_ptr<PendingLoad> pending(static_cast<PendingLoad*>(data));
  webkit_cookie_manager_add_cookie_finish(WEBKIT_COOKIE_MANAGER(manager), result, nullptr);
  // A web view gone meanwhile simply gets no page.
  if (auto webView = pending->webView.get()) webkit_web_view_load_uri(webView.get(), pending->url.c_str());
}

}  // namespace

void loadWithToken(const LaunchToken& token, const std::string& url, WebKitWebView* webView,
                   const LocalOrigin& origin) {
  if (!loadsWithToken(url, origin)) {
    g_warning("Not loading %s with the launch token: it is not the server's page", url.c_str());
    return;
  }
  // A session cookie (no expiry) for the host alone, on every path. Only the
  // server reads it: no script sees it, and TokenCookieFilter keeps it from
  // requests made by other sites.
  CPtr<SoupCookie, soup_cookie_free> cookie(
      soup_cookie_new(std::string(LaunchToken::cookieName).c_str(), token.value().c_str(), origin.host().c_str(), "/", -1));
  soup_cookie_set_http_only(cookie.get(), TRUE);
  soup_cookie_set_same_site_policy(cookie.get(), SOUP_SAME_SITE_POLICY_LAX);

  auto* pending = new PendingLoad{WeakOwner<WebKitWebView>::object(webView), url};
  WebKitWebsiteDataManager* data = webkit_web_view_get_website_data_manager(webView);
  webkit_cookie_manager_add_cookie(webkit_website_data_manager_get_cookie_manager(data), cookie.get(), nullptr,
                                   cookieStored, pending);
}

}  // namespace quorvel
