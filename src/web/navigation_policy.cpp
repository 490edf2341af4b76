#include "web/navigation_policy.h"

#include <libsoup/soup.h>
#include <webkit2/webkit2.h>

#include "base/glib_ptr.h"
#include "web/desktop_handoff.h"

namespace quorvel {
namespace {

OptionalURL urlOf(WebKitNavigationAction* action) {
  const char* uri = webkit_uri_request_get_uri(webkit_navigation_action_get_request(action));
  return uri && *uri ? OptionalURL(uri) : std::nullopt;
}

bool isAttachment(WebKitURIResponse* response) {
  SoupMessageHeaders* headers = webkit_uri_response_get_http_headers(response);
  GCharPtr disposition;
  char* value = nullptr;
  if (headers && soup_message_headers_get_content_disposition(headers, &value, nullptr)) disposition.reset(value);
  return disposition && g_ascii_strcasecmp(disposition.get(), "attachment") == 0;
}

// A page's request for a new window: loaded here, handed to the desktop, or dropped.
void openNewWindow(WebKitWebView* webView, WebKitNavigationAction* action, const LocalOrigin& origin) {
  OptionalURL url = urlOf(action);
  switch (decideNewWindow(url, origin, webkit_navigation_action_is_user_gesture(action))) {
    case NewWindow::Nothing: g_debug("Not opening %s in a new window", url ? url->c_str() : "nothing"); break;
    case NewWindow::LoadHere: webkit_web_view_load_request(webView, webkit_navigation_action_get_request(action)); break;
    case NewWindow::HandToDesktop: openWithDesktop(*url, GTK_WIDGET(webView)); break;
  }
}

gboolean decidePolicy(WebKitWebView* webView, WebKitPolicyDecision* decision, WebKitPolicyDecisionType type,
                      LocalOrigin* origin) {
  if (type == WEBKIT_POLICY_DECISION_TYPE_NEW_WINDOW_ACTION) {
    openNewWindow(webView, webkit_navigation_policy_decision_get_navigation_action(WEBKIT_NAVIGATION_POLICY_DECISION(decision)),
                  *origin);
    webkit_policy_decision_ignore(decision);
    return TRUE;
  }
  if (type == WEBKIT_POLICY_DECISION_TYPE_NAVIGATION_ACTION) {
    WebKitNavigationAction* action =
        webkit_navigation_policy_decision_get_navigation_action(WEBKIT_NAVIGATION_POLICY_DECISION(decision));
    OptionalURL url = urlOf(action);
    // A gesture alone: WebKit reports a script's click on a link as a link clicked too.
    switch (decideNavigationAction(url, *origin, webkit_navigation_action_is_user_gesture(action))) {
      case Navigation::Allow: webkit_policy_decision_use(decision); return TRUE;
      case Navigation::HandToDesktop: openWithDesktop(*url, GTK_WIDGET(webView)); break;
      case Navigation::Drop: g_debug("Not opening %s: no user asked for it", url->c_str()); break;
    }
    webkit_policy_decision_ignore(decision);
    return TRUE;
  }
  auto* responseDecision = WEBKIT_RESPONSE_POLICY_DECISION(decision);
  WebKitURIResponse* response = webkit_response_policy_decision_get_response(responseDecision);
  const std::string url = webkit_uri_response_get_uri(response);
  bool main = webkit_response_policy_decision_is_main_frame_main_resource(responseDecision);
  if (Navigation verdict = decideResponse(url, main, *origin); verdict != Navigation::Allow) {
    // The window stays on its page: the navigation never commits, so no history entry either.
    if (verdict == Navigation::HandToDesktop) openWithDesktop(url, GTK_WIDGET(webView));
    webkit_policy_decision_ignore(decision);
  } else if (savedAsDownload(url, *origin, webkit_response_policy_decision_is_mime_type_supported(responseDecision),
                             isAttachment(response))) {
    webkit_policy_decision_download(decision);
  } else {
    webkit_policy_decision_use(decision);
  }
  return TRUE;
}

gboolean loadFailed(WebKitWebView* webView, WebKitLoadEvent, const char* failingURI, GError* error,
                    LocalOrigin* origin) {
  // Stopped on purpose (by the policy above, or a download): nothing failed.
  if (g_error_matches(error, WEBKIT_POLICY_ERROR, WEBKIT_POLICY_ERROR_FRAME_LOAD_INTERRUPTED_BY_POLICY_CHANGE) ||
      g_error_matches(error, WEBKIT_NETWORK_ERROR, WEBKIT_NETWORK_ERROR_CANCELLED)) {
    return FALSE;
  }
  // A foreign page that could not be reached: the desktop may do better, and no
  // error page replaces the current one.
  Navigation verdict = decideResponse(failingURI, true, *origin);
  if (verdict == Navigation::HandToDesktop) openWithDesktop(failingURI, GTK_WIDGET(webView));
  return verdict != Navigation::Allow;
}

}  // namespace

NavigationPolicy::NavigationPolicy(WebKitWebView* webView, LocalOrigin origin)
    : origin_(std::move(origin)) {
  connections_.add(webView, "decide-policy", G_CALLBACK(decidePolicy), &origin_);
  connections_.add(webView, "load-failed", G_CALLBACK(loadFailed), &origin_);
  // Never a second window: the request is loaded here, handed on, or dropped.
  connections_.add(webView, "create", G_CALLBACK(+[](WebKitWebView* view, WebKitNavigationAction* action,
                                                      LocalOrigin* local) -> GtkWidget* {
                     openNewWindow(view, action, *local);
                     return nullptr;
                   }),
                   &origin_);
}

}  // namespace quorvel
