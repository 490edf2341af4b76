#include "web/page_permissions.h"

#include <gtk/gtk.h>
#include <webkit2/webkit2.h>
#include "web/rules/permission_rules.h"

namespace quorvel {
namespace {

using OriginPtr = CPtr<WebKitSecurityOrigin, webkit_security_origin_unref>;

void grantNotifications(WebKitWebContext* context, const LocalOrigin* server) {
  // WebKit names http's own port 80 by leaving it out.
  OriginPtr origin(webkit_security_origin_new(server->scheme().c_str(), server->host().c_str(),
                                              server->port() == 80 ? 0 : server->port()));
  GList allowed{origin.get(), nullptr, nullptr};
  webkit_web_context_initialize_notification_permissions(context, &allowed, nullptr);
}

}  // namespace

PagePermissions::PagePermissions(WebKitWebView* webView, LocalOrigin server) : server_(std::move(server)) {
  WebKitWebContext* context = webkit_web_view_get_context(webView);
  grantNotifications(context, &server_);
  connections_.add(context, "initialize-notification-permissions", G_CALLBACK(grantNotifications), &server_);
  // WebKit asks here at every requestPermission(), granted or not, and without
  // saying whose request it is: the server's pages answer it themselves, at once,
  // as for any permission already granted, and what asks here is refused.
  const std::string script = "if (location.origin === '" + server_.text() +
                             "') Notification.requestPermission = function (callback) {"
                             "  if (callback) callback('granted');"
                             "  return Promise.resolve('granted');"
                             "};";
  webkit_user_content_manager_add_script(
      webkit_web_view_get_user_content_manager(webView),
      CPtr<WebKitUserScript, webkit_user_script_unref>(
          webkit_user_script_new(script.c_str(), WEBKIT_USER_CONTENT_INJECT_ALL_FRAMES,
                                 WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_START, nullptr, nullptr))
          .get());
  connections_.add(webView, "permission-request", G_CALLBACK(+[](WebKitWebView*, WebKitPermissionRequest* request) {
                     webkit_permission_request_deny(request);
                     return TRUE;
                   }),
                   nullptr);
  // navigator.permissions.query() answers what a request would get.
  connections_.add(webView, "query-permission-state",
                   G_CALLBACK(+[](WebKitWebView*, WebKitPermissionStateQuery* query, const LocalOrigin* local) {
                     GCharPtr origin(webkit_security_origin_to_string(webkit_permission_state_query_get_security_origin(query)));
                     bool granted = permissionGranted(webkit_permission_state_query_get_name(query),
                                                      origin ? origin.get() : "", *local);
                     webkit_permission_state_query_finish(query, granted ? WEBKIT_PERMISSION_STATE_GRANTED
                                                                         : WEBKIT_PERMISSION_STATE_DENIED);
                     return TRUE;
                   }),
                   &server_);
}

}  // namespace quorvel
