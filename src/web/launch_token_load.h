#pragma once
// The first page load: the launch token goes into the web view's cookie store
// before the page is requested, so the server recognises its own window.

#include <string>

#include "launch/launch_token.h"
#include "launch/local_origin.h"

typedef struct _WebKitWebView WebKitWebView;

namespace quorvel {

// Stores the token cookie for the server's host, and only then loads the URL
// (without the header). Any URL but the server's own pages is refused, whoever
// asks: the token goes nowhere else. A web view gone meanwhile gets no page.
void loadWithToken(const LaunchToken& token, const std::string& url, WebKitWebView* webView,
                   const LocalOrigin& origin);

}  // namespace quorvel
