#pragma once
// What a notification server gets of a page's notification text, and what Quorvel
// reads of the server's signals.

#include <cstdint>
#include <string>

#include <glib.h>

namespace quorvel {

// The body for a server whose GetCapabilities answered `capabilities` (an "(as)",
// or null when it did not answer): one that lists "body-markup" reads a subset of
// HTML in it, so the page's text is escaped to show as written.
std::string notificationBody(const std::string& body, GVariant* capabilities);

// A signal from the notification server, as far as Quorvel reads it; anything of
// another name or shape is Other.
struct ServerSignal {
  enum class Kind { Other, Action, ActivationToken, Closed };
  Kind kind = Kind::Other;
  std::uint32_t id = 0;  // the server's notification id
  std::string text;      // the action's name, or the token

  bool operator==(const ServerSignal&) const = default;
};
ServerSignal readServerSignal(const char* name, GVariant* parameters);

}  // namespace quorvel
