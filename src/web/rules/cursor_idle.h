#pragma once
// When to hide the pointer in element full screen: sampled every half second,
// it goes once it has rested for 2.5 s while an element of the page fills the
// screen and the window is active. Time and position come from outside, so a
// test can drive it.

namespace quorvel {

struct Point {
  double x = 0;
  double y = 0;
  bool operator==(const Point&) const = default;
};

// Where an element's full screen is. Entering and exiting count as not in it:
// WebKit asks first, and the window reaches full screen, or leaves it, later.
enum class FullScreen { Not, Entering, In, Exiting };
enum class FullScreenEvent { ElementEnters, ElementLeaves, WindowChanged };
// After `event`, with the window full screen or not now.
FullScreen nextFullScreen(FullScreen now, FullScreenEvent event, bool windowFull);

class CursorIdle {
 public:
  static constexpr double idleDelay = 2.5;     // seconds of rest before hiding
  static constexpr double tickInterval = 0.5;  // seconds between samples

  CursorIdle(Point position, double now) : lastLocation_(position), lastMoved_(now) {}

  // One sample. True when the pointer is to be hidden now.
  bool tick(Point position, double now, bool elementFullscreen, bool windowActive);
  // A movement seen between samples (the pointer may be back where it was by the next).
  void moved(double now) {
    lastMoved_ = now;
    hidden_ = false;
  }

 private:
  Point lastLocation_;
  double lastMoved_;
  bool hidden_ = false;
};

}  // namespace quorvel
