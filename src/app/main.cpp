#include <cstdio>

#include "app/launch_settings.h"
#include "common/milestones.h"

int main() {
  using namespace quorvel;
  auto settings = computeLaunchSettings(processLaunchInputs());
  if (!settings) {
    std::fprintf(stderr, "%s\n", settings.error().message().c_str());
    return 1;
  }
  installLaunchSettings(std::move(settings).value());
  logMilestone("settings ready");
  return 0;
}
