#pragma once
// Whether the desktop asks applications for a dark style, from its two sources:
// the Settings portal's org.freedesktop.appearance color-scheme, and where no
// portal answers, GNOME's own color-scheme setting.

#include <optional>
#include <string>

#include <glib.h>

namespace quorvel {

enum class ColorScheme { NoPreference, Dark, Light };

// The portal's answer as ReadOne gives it (a variant holding a uint32: 0 no
// preference, 1 dark, 2 light, anything else taken as no preference) or as the
// older Read does (one variant deeper). Empty when it is no such answer, so that
// the desktop's other source is asked.
std::optional<ColorScheme> portalColorScheme(GVariant* value);

// GSettings org.gnome.desktop.interface color-scheme: 'prefer-dark', 'prefer-light',
// and 'default' or anything else: no preference.
ColorScheme gsettingsColorScheme(const std::string& value);

}  // namespace quorvel
