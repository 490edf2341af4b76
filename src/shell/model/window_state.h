#pragma once
// The main window's remembered size: the key file supportDir/window-state, group
// "MainWindow", keys width, height, maximized. Wayland does not let programs place
// their windows (the window manager centres new ones), so the position is not kept.

#include <string>

#include "base/app_error.h"

namespace quorvel {

struct WindowState {
  static constexpr int defaultWidth = 1280;
  static constexpr int defaultHeight = 860;

  int width = defaultWidth;
  int height = defaultHeight;
  bool maximized = false;

  bool operator==(const WindowState&) const = default;
};

// The window now `width` x `height`: the size to come back to is the user's, so one
// the desktop imposes (maximized, full screen, tiled to a side) is not kept.
void rememberSize(WindowState& state, int width, int height, bool imposed);

// Missing, garbage or out-of-range values fall back to the defaults, key by key.
WindowState parseWindowState(const std::string& keyFileText);
WindowState loadWindowState(const std::string& path);

std::string serializeWindowState(const WindowState& state);
// Atomic replacement; creates the folder if needed.
Status saveWindowState(const std::string& path, const WindowState& state);

}  // namespace quorvel
