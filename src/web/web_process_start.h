#pragma once
// Starts the web view's web process before its first page, so that it has booted
// by the time the server answers instead of only when the page is requested.

typedef struct _WebKitWebView WebKitWebView;

namespace quorvel {

// Runs an empty script in the view that has no page yet: WebKit launches the process
// for it, without a load, a page or a back/forward entry. Logs the milestone "web
// process ready" once it has answered.
void startWebProcess(WebKitWebView* webView);

}  // namespace quorvel
