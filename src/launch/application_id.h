#pragma once
// Quorvel's name on the desktop: its D-Bus name, desktop entry and icon.

namespace quorvel {

inline constexpr char kApplicationId[] = "app.quorvel.Quorvel";

}  // namespace quorvel
