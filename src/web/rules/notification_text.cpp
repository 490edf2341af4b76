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

ServerSignal readServerSignal(const char* name, GVariant* parameters) {
  using Kind = ServerSignal::Kind;
  const Kind kind = g_strcmp0(name, "ActionInvoked") == 0     ? Kind::Action
                    : g_strcmp0(name, "ActivationToken") == 0 ? Kind::ActivationToken
                    : g_strcmp0(name, "NotificationClosed") == 0 ? Kind::Closed
                                                                 : Kind::Other;
  const char* shape = kind == Kind::Closed ? "(uu)" : "(us)";
  if (kind == Kind::Other || !parameters || !g_variant_is_of_type(parameters, G_VARIANT_TYPE(shape))) return {};
  ServerSignal read{kind, 0, {}};
  if (kind == Kind::Closed) {
    g_variant_get(parameters, "(uu)", &read.id, nullptr);
  } else {
    const char* text = nullptr;
    g_variant_get(parameters, "(u&s)", &read.id, &text);
    read.text = text;
  }
  return read;
}

}  // namespace quorvel
