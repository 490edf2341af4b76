#include "shell/dark_style.h"

#include <gtk/gtk.h>

#include "shell/model/color_scheme.h"

namespace quorvel {
namespace {

constexpr const char* kPortal = "org.freedesktop.portal.Desktop";
constexpr const char* kPath = "/org/freedesktop/portal/desktop";
constexpr const char* kSettings = "org.freedesktop.portal.Settings";
constexpr const char* kNamespace = "org.freedesktop.appearance";
constexpr const char* kKey = "color-scheme";

}  // namespace

DarkStyle::DarkStyle(GDBusConnection* bus) : bus_(GRef<GDBusConnection>::retain(bus)) {
  if (GtkSettings* settings = gtk_settings_get_default()) {
    gboolean dark = FALSE;
    g_object_get(settings, "gtk-application-prefer-dark-theme", &dark, nullptr);
    darkAtStart_ = dark;
  }
  if (!bus) {
    followGSettings();
    return;
  }
  subscription_ = g_dbus_connection_signal_subscribe(
      bus, kPortal, kSettings, "SettingChanged", kPath, kNamespace, G_DBUS_SIGNAL_FLAGS_NONE,
      [](GDBusConnection*, const char*, const char*, const char*, const char*, GVariant* parameters, gpointer self) {
        if (!g_variant_is_of_type(parameters, G_VARIANT_TYPE("(ssv)"))) return;
        const char* key = nullptr;
        GVariant* value = nullptr;
        g_variant_get(parameters, "(&s&s@v)", nullptr, &key, &value);
        VariantPtr owned(value);
        auto scheme = portalColorScheme(value);
        if (scheme && g_strcmp0(key, kKey) == 0) static_cast<DarkStyle*>(self)->apply(*scheme);
      },
      this, nullptr);
  askPortal(true);
}

DarkStyle::~DarkStyle() {
  g_cancellable_cancel(cancellable_.get());
  if (subscription_) g_dbus_connection_signal_unsubscribe(bus_.get(), subscription_);
}

void DarkStyle::askPortal(bool readOne) {
  readOne_ = readOne;
  g_dbus_connection_call(
      bus_.get(), kPortal, kPath, kSettings, readOne ? "ReadOne" : "Read", g_variant_new("(ss)", kNamespace, kKey),
      // A portal started on demand answers within a second or two; one that does not answer in 5 s is taken as none.
      G_VARIANT_TYPE("(v)"), G_DBUS_CALL_FLAGS_NONE, 5000, cancellable_.get(),
      [](GObject* bus, GAsyncResult* result, gpointer data) {
        GErrorHolder error;
        VariantPtr reply(g_dbus_connection_call_finish(G_DBUS_CONNECTION(bus), result, error.out()));
        auto self = WeakOwner<DarkStyle>::take(data).get();
        if (!self) return;
        // Portals older than ReadOne have only Read, whose answer is one variant deeper.
        if (self->readOne_ && g_error_matches(error.get(), G_DBUS_ERROR, G_DBUS_ERROR_UNKNOWN_METHOD)) {
          return self->askPortal(false);
        }
        std::optional<ColorScheme> scheme;
        if (reply) {
          VariantPtr value(g_variant_get_child_value(reply.get(), 0));
          scheme = portalColorScheme(value.get());
        }
        if (!scheme) g_debug("No colour scheme from the Settings portal: %s", reply ? "not a number" : error.message().c_str());
        if (scheme) return self->apply(*scheme);
        self->followGSettings();
      },
      anchor_.weak().data());
}

void DarkStyle::followGSettings() {
  GSettingsSchemaSource* source = g_settings_schema_source_get_default();
  CPtr<GSettingsSchema, g_settings_schema_unref> schema(
      source ? g_settings_schema_source_lookup(source, "org.gnome.desktop.interface", TRUE) : nullptr);
  if (!schema || !g_settings_schema_has_key(schema.get(), kKey)) return;
  settings_ = GRef<GSettings>::adopt(g_settings_new_full(schema.get(), nullptr, nullptr));
  auto changed = +[](GSettings* settings, const char*, DarkStyle* self) {
    self->apply(gsettingsColorScheme(takeString(g_settings_get_string(settings, kKey))));
  };
  connections_.add(settings_.get(), "changed::color-scheme", G_CALLBACK(changed), this);
  changed(settings_.get(), kKey, this);
}

void DarkStyle::apply(ColorScheme scheme) {
  const bool dark = scheme == ColorScheme::Dark || (scheme == ColorScheme::NoPreference && darkAtStart_);
  GtkSettings* settings = gtk_settings_get_default();
  gboolean current = FALSE;
  if (settings) g_object_get(settings, "gtk-application-prefer-dark-theme", &current, nullptr);
  // Setting it, even to the value it has, makes GTK reload its theme and WebKit resend its settings.
  if (settings && static_cast<bool>(current) != dark) {
    g_object_set(settings, "gtk-application-prefer-dark-theme", dark, nullptr);
  }
}

}  // namespace quorvel
