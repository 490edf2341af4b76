#include "base/milestones.h"

#include <time.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>

#include <glib.h>

namespace quorvel {
namespace {

// The process's start in CLOCK_BOOTTIME milliseconds, from /proc/self/stat (field
// 22, in clock ticks); the first call's time if that cannot be read.
double processStartMilliseconds() {
  std::ifstream stat("/proc/self/stat");
  std::string line;
  std::getline(stat, line);
  // The command name may hold spaces; fields are counted after its closing ')'.
  auto close = line.rfind(')');
  if (close != std::string::npos) {
    std::istringstream fields(line.substr(close + 2));
    std::string field;
    for (int index = 3; fields >> field; ++index) {
      if (index == 22) {
        long ticks = sysconf(_SC_CLK_TCK);
        if (ticks > 0) return std::stod(field) * 1000.0 / static_cast<double>(ticks);
        break;
      }
    }
  }
  timespec now{};
  clock_gettime(CLOCK_BOOTTIME, &now);
  return static_cast<double>(now.tv_sec) * 1000.0 + static_cast<double>(now.tv_nsec) / 1e6;
}

}  // namespace

double millisecondsSinceProcessStart() {
  static const double start = processStartMilliseconds();
  timespec now{};
  clock_gettime(CLOCK_BOOTTIME, &now);
  return static_cast<double>(now.tv_sec) * 1000.0 + static_cast<double>(now.tv_nsec) / 1e6 - start;
}

void logMilestone(const char* name) {
  g_debug("milestone: %s at %.0f ms", name, millisecondsSinceProcessStart());
}

}  // namespace quorvel
