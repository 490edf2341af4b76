#pragma once
// Whether the desktop asks applications for a dark style, from its two sources:
// the Settings portal's org.freedesktop.appearance color-scheme, and where no
// portal answers, GNOME's own color-scheme setting.

#include <optional>
#include <string>

#include <glib.h>

namespace quorvel {

// The portal's answer as ReadOne gives it (a variant holding a uint32: 1 dark, 0
// no preference, 2 light) or as the older Read does (one variant deeper). Empty
// when it is no such answer, so that the desktop's other source is asked.
std::optional<bool> portalPrefersDark(GVariant* value);

// GSettings org.gnome.desktop.interface color-scheme: 'prefer-dark' is dark;
// 'default', 'prefer-light' and anything else are not.
bool gsettingsPrefersDark(const std::string& value);

}  // namespace quorvel
