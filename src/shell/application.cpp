#include "shell/application.h"

#include <gtk/gtk.h>

namespace quorvel {
namespace {

struct QuorvelApplication {
  GtkApplication parent;
};

struct QuorvelApplicationClass {
  GtkApplicationClass parent;
};

guint willStartUp = 0;
GApplicationClass* parentClass = nullptr;

void classInit(gpointer klass, gpointer) {
  parentClass = G_APPLICATION_CLASS(g_type_class_peek_parent(klass));
  willStartUp = g_signal_new("will-start-up", G_TYPE_FROM_CLASS(klass), G_SIGNAL_RUN_LAST, 0, nullptr, nullptr,
                             nullptr, G_TYPE_NONE, 0);
  // "startup" runs GTK's own start-up before any handler: only the class can go first.
  G_APPLICATION_CLASS(klass)->startup = [](GApplication* application) {
    g_signal_emit(application, willStartUp, 0);
    parentClass->startup(application);
  };
}

GType applicationType() {
  static const GType type = g_type_register_static_simple(
      GTK_TYPE_APPLICATION, "QuorvelApplication", sizeof(QuorvelApplicationClass), classInit,
      sizeof(QuorvelApplication), nullptr, static_cast<GTypeFlags>(0));
  return type;
}

}  // namespace

GtkApplication* newApplication(const char* applicationId) {
  return GTK_APPLICATION(g_object_new(applicationType(), "application-id", applicationId, "flags",
                                      G_APPLICATION_DEFAULT_FLAGS, nullptr));
}

}  // namespace quorvel
