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

// Missing, garbage or out-of-range values fall back to the defaults, key by key.
WindowState parseWindowState(const std::string& keyFileText);
WindowState loadWindowState(const std::string& path);

std::string serializeWindowState(const WindowState& state);
// Atomic replacement; creates the folder if needed. False if it could not be written.
Status saveWindowState(const std::string& path, const WindowState& state);

}  // namespace quorvel
