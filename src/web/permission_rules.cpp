#include "web/permission_rules.h"

namespace quorvel {

std::string originText(const LocalOrigin& server) {
  // Its port is never http's default, which WebKit would leave out.
  return "http://" + server.host + ":" + std::to_string(server.port);
}

bool permissionGranted(const std::string& permission, const std::string& origin, const LocalOrigin& server) {
  return permission == "notifications" && origin == originText(server);
}

}  // namespace quorvel
