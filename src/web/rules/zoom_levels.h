#pragma once
// Page zoom without a web view: the twelve levels and stepping through them, the
// bounds, the pinch, and the page-zoom file (one decimal number, nothing else).

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "base/app_error.h"

namespace quorvel {

inline constexpr std::array<double, 12> kZoomLevels = {0.5, 0.67, 0.8, 0.9, 1.0, 1.1, 1.25, 1.5, 1.75, 2.0, 2.5, 3.0};

// Into [0.5, 3.0]; nothing for NaN or an infinity, which are never applied.
std::optional<double> clampZoom(double zoom);

// The next level up or down from `current`; within a millionth of a level counts
// as at it. Past the ends: the end level again.
double zoomInFrom(double current);
double zoomOutFrom(double current);

// A pinch: the gesture's scale now and at the last change scale the current zoom.
double pinchedZoom(double current, double scale, double lastScale);

// Ctrl + wheel: `delta` more notches (up is negative; a touchpad's smooth scrolling
// moves by fractions) on top of `pending`; the whole ones, taken out of `pending`
// (negative: zoom in), never more than the levels there are.
int wheelNotches(double& pending, double delta);

// The file's text as a zoom: the whole text is one C-locale number, without
// leading white space, finite and in range for a double.
std::optional<double> parseZoomText(std::string_view text);
// The shortest text that reads back as exactly `zoom`, always with a point: 1.0, 0.67.
std::string formatZoom(double zoom);

// The zoom stored at `path`, or nothing (missing, unreadable, not UTF-8, not a number).
std::optional<double> readZoomFile(const std::string& path);
// Replaces the file atomically, making its folder first; the reason when it fails.
Status saveZoomFile(const std::string& path, double zoom);

}  // namespace quorvel
