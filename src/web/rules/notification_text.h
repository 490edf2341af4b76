#pragma once
// What a notification server gets of a page's notification text.

#include <string>

#include <glib.h>

namespace quorvel {

// The body for a server whose GetCapabilities answered `capabilities` (an "(as)",
// or null when it did not answer): one that lists "body-markup" reads a subset of
// HTML in it, so the page's text is escaped to show as written.
std::string notificationBody(const std::string& body, GVariant* capabilities);

}  // namespace quorvel
