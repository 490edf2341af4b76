#include "web/rules/cursor_idle.h"

namespace quorvel {

FullScreen nextFullScreen(FullScreen now, FullScreenEvent event, bool windowFull) {
  switch (event) {
    case FullScreenEvent::ElementEnters: return windowFull ? FullScreen::In : FullScreen::Entering;
    case FullScreenEvent::ElementLeaves: return FullScreen::Exiting;
    case FullScreenEvent::WindowChanged: break;
  }
  // A change on the way in that is not yet full screen is not the way out.
  if (windowFull && now == FullScreen::Entering) return FullScreen::In;
  if (!windowFull && now != FullScreen::Entering) return FullScreen::Not;
  return now;
}

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
