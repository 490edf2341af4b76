#pragma once
// The first page load: the launch token goes into the web view's cookie store
// before the page is requested, so the server recognises its own window.

#include <string>

#include "server/launch_token.h"

typedef struct _WebKitWebView WebKitWebView;

namespace quorvel {

// Stores the token cookie for the URL's host, and only then loads the URL (without
// the header). A web view gone meanwhile gets no page.
void loadWithToken(const LaunchToken& token, const std::string& url, WebKitWebView* webView);

}  // namespace quorvel
