#pragma once
// Which of a page's permission requests Quorvel grants: notifications to the
// server's own pages, and nothing else to anyone.

#include <string>

#include "launch/local_origin.h"

namespace quorvel {

// `permission` as the Permissions API names it ("notifications", "geolocation",
// "camera", ...); `origin` as WebKit writes one, empty when unknown.
bool permissionGranted(const std::string& permission, const std::string& origin, const LocalOrigin& server);

}  // namespace quorvel
