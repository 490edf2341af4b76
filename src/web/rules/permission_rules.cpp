#include "web/rules/permission_rules.h"

namespace quorvel {

bool permissionGranted(const std::string& permission, const std::string& origin, const LocalOrigin& server) {
  return permission == "notifications" && origin == server.text();
}

}  // namespace quorvel
