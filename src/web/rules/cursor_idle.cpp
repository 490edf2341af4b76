#include "web/rules/cursor_idle.h"

namespace quorvel {

bool CursorIdle::tick(Point position, double now, bool elementFullscreen, bool windowActive) {
  // Movement between samples comes through moved().
  if (position != lastLocation_) {
    lastLocation_ = position;
    lastMoved_ = now;
    hidden_ = false;
    return false;
  }
  if (hidden_ || !elementFullscreen || !windowActive || now - lastMoved_ < idleDelay) return false;
  hidden_ = true;
  return true;
}

}  // namespace quorvel
