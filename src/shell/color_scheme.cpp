#include "shell/color_scheme.h"

#include "base/glib_ptr.h"

namespace quorvel {

std::optional<bool> portalPrefersDark(GVariant* value) {
  VariantPtr current(value ? g_variant_ref(value) : nullptr);
  while (current && g_variant_is_of_type(current.get(), G_VARIANT_TYPE_VARIANT)) {
    current.reset(g_variant_get_variant(current.get()));
  }
  if (!current || !g_variant_is_of_type(current.get(), G_VARIANT_TYPE_UINT32)) return std::nullopt;
  return g_variant_get_uint32(current.get()) == 1;
}

bool gsettingsPrefersDark(const std::string& value) { return value == "prefer-dark"; }

}  // namespace quorvel
