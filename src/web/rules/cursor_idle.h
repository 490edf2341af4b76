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
