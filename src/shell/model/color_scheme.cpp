#include "shell/model/color_scheme.h"

#include "base/glib_ptr.h"

namespace quorvel {

std::optional<ColorScheme> portalColorScheme(GVariant* value) {
  VariantPtr current(value ? g_variant_ref(value) : nullptr);
  while (current && g_variant_is_of_type(current.get(), G_VARIANT_TYPE_VARIANT)) {
    current.reset(g_variant_get_variant(current.get()));
  }
  if (!current || !g_variant_is_of_type(current.get(), G_VARIANT_TYPE_UINT32)) return std::nullopt;
  const guint32 scheme = g_variant_get_uint32(current.get());
  return scheme == 1 ? ColorScheme::Dark : scheme == 2 ? ColorScheme::Light : ColorScheme::NoPreference;
}

ColorScheme gsettingsColorScheme(const std::string& value) {
  return value == "prefer-dark"    ? ColorScheme::Dark
         : value == "prefer-light" ? ColorScheme::Light
                                   : ColorScheme::NoPreference;
}

}  // namespace quorvel
