#include "web/rules/notification_text.h"

#include "base/glib_ptr.h"

namespace quorvel {

std::string notificationBody(const std::string& body, GVariant* capabilities) {
  bool markup = false;
  if (capabilities && g_variant_is_of_type(capabilities, G_VARIANT_TYPE("(as)"))) {
    VariantPtr names(g_variant_get_child_value(capabilities, 0));
    GVariantIter each;
    g_variant_iter_init(&each, names.get());
    const char* name = nullptr;
    while (g_variant_iter_next(&each, "&s", &name)) markup = markup || g_str_equal(name, "body-markup");
  }
  return markup ? takeString(g_markup_escape_text(body.c_str(), -1)) : body;
}

}  // namespace quorvel
