#include "web/rules/zoom_levels.h"

#include <glib.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>

#include "base/text_file.h"

namespace quorvel {
namespace {

constexpr double kTolerance = 0.000001;

}  // namespace

std::optional<double> clampZoom(double zoom) {
  if (!std::isfinite(zoom)) return std::nullopt;
  return std::clamp(zoom, kZoomLevels.front(), kZoomLevels.back());
}

double zoomInFrom(double current) {
  for (double level : kZoomLevels) {
    if (current + kTolerance < level) return level;
  }
  return kZoomLevels.back();
}

double zoomOutFrom(double current) {
  for (auto level = kZoomLevels.rbegin(); level != kZoomLevels.rend(); ++level) {
    if (*level < current - kTolerance) return *level;
  }
  return kZoomLevels.front();
}

double pinchedZoom(double current, double scale, double lastScale) {
  return lastScale > 0 ? current * (scale / lastScale) : current;
}

int wheelNotches(double& pending, double delta) {
  pending += delta;
  if (!std::isfinite(pending)) pending = 0;
  const double most = static_cast<double>(kZoomLevels.size());
  const int notches = static_cast<int>(std::clamp(std::trunc(pending), -most, most));
  // A jump past every level leaves nothing over.
  pending = std::abs(pending) > most ? 0 : pending - notches;
  return notches;
}

std::optional<double> parseZoomText(std::string_view text) {
  if (text.empty() || std::string_view(" \t\n\v\f\r").find(text.front()) != std::string_view::npos) return {};
  const std::string whole(text);  // g_ascii_strtod needs the terminating NUL
  char* end = nullptr;
  errno = 0;
  double value = g_ascii_strtod(whole.c_str(), &end);
  if (end != whole.c_str() + whole.size() || errno == ERANGE || !std::isfinite(value)) return {};
  return value;
}

std::string formatZoom(double zoom) {
  char buffer[64];
  auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, zoom);
  std::string text(buffer, ec == std::errc() ? end : buffer);
  if (text.find_first_of(".e") == std::string::npos) text += ".0";
  return text;
}

std::optional<double> readZoomFile(const std::string& path) {
  auto text = readUtf8File(path, 4096);
  return text ? parseZoomText(*text) : std::nullopt;
}

Status saveZoomFile(const std::string& path, double zoom) {
  return writeFileAtomically(path, formatZoom(zoom));
}

}  // namespace quorvel
