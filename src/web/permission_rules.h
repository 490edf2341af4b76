#pragma once
// Which of a page's permission requests Quorvel grants: notifications to the
// server's own pages, and nothing else to anyone.

#include <string>

#include "web/navigation_rules.h"

namespace quorvel {

// The server's origin as WebKit writes a security origin: "http://127.0.0.1:3789".
std::string originText(const LocalOrigin& server);

// `permission` as the Permissions API names it ("notifications", "geolocation",
// "camera", ...); `origin` as WebKit writes one, empty when unknown.
bool permissionGranted(const std::string& permission, const std::string& origin, const LocalOrigin& server);

}  // namespace quorvel
