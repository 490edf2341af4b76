// AppDelegate::buildMenu: the menu table turned into a GMenu, its actions and
// accelerators.

#include <gtk/gtk.h>
#include <webkit/webkit.h>

#include "base/glib_ptr.h"
#include "shell/app_delegate.h"
#include "shell/main_menu.h"

namespace quorvel {
namespace {

struct ActionHandler {
  AppDelegate* self;
  void (*run)(AppDelegate*);
};

bool isPageFirst(const char* action) {
  for (const auto& menu : mainMenu()) {
    for (const auto& entry : menu.entries) {
      if (entry.pageFirst && entry.action == action) return true;
    }
  }
  return false;
}

void activated(GSimpleAction*, GVariant*, gpointer data) {
  auto* handler = static_cast<ActionHandler*>(data);
  handler->run(handler->self);
}

}  // namespace

void AppDelegate::installActions() {
  using Self = AppDelegate;
  // Inside a member, these captureless lambdas may reach the private members.
  const std::pair<const char*, void (*)(Self*)> table[] = {
      {"about", [](Self* s) { s->showAbout(); }},
      {"check-for-updates", [](Self* s) { s->updater.checkForUpdates(); }},
      {"hide", [](Self* s) { gtk_window_minimize(s->window); }},
      {"quit", [](Self* s) { s->quit(); }},
      {"undo", [](Self* s) { webkit_web_view_execute_editing_command(s->webView, WEBKIT_EDITING_COMMAND_UNDO); }},
      {"redo", [](Self* s) { webkit_web_view_execute_editing_command(s->webView, WEBKIT_EDITING_COMMAND_REDO); }},
      {"cut", [](Self* s) { webkit_web_view_execute_editing_command(s->webView, WEBKIT_EDITING_COMMAND_CUT); }},
      {"copy", [](Self* s) { webkit_web_view_execute_editing_command(s->webView, WEBKIT_EDITING_COMMAND_COPY); }},
      {"paste", [](Self* s) { webkit_web_view_execute_editing_command(s->webView, WEBKIT_EDITING_COMMAND_PASTE); }},
      {"select-all",
       [](Self* s) { webkit_web_view_execute_editing_command(s->webView, WEBKIT_EDITING_COMMAND_SELECT_ALL); }},
      {"reload", [](Self* s) { s->reload(); }},
      {"go-back", [](Self* s) { s->goBack(); }},
      {"go-forward", [](Self* s) { s->goForward(); }},
      {"toggle-fullscreen", [](Self* s) { s->toggleFullScreen(); }},
      {"settings", [](Self* s) { s->settingsCommand->openSettings(); }},
      {"zoom-in", [](Self* s) { s->pageZoom->zoomIn(); }},
      {"zoom-out", [](Self* s) { s->pageZoom->zoomOut(); }},
      {"actual-size", [](Self* s) { s->pageZoom->actualSize(); }},
      {"close", [](Self* s) { gtk_window_close(s->window); }},
      {"show-server-log", [](Self* s) { s->showServerLog(); }},
      {"minimize", [](Self* s) { gtk_window_minimize(s->window); }},
  };
  for (const auto& [name, run] : table) {
    auto action = GRef<GSimpleAction>::adopt(g_simple_action_new(name, nullptr));
    g_signal_connect_data(action.get(), "activate", G_CALLBACK(activated), new ActionHandler{this, run},
                          [](gpointer data, GClosure*) { delete static_cast<ActionHandler*>(data); },
                          static_cast<GConnectFlags>(0));
    g_action_map_add_action(G_ACTION_MAP(app_), G_ACTION(action.get()));
  }
  // Settings needs a page to ask: off, accelerator included, while the web view is hidden.
  g_object_bind_property(webView, "visible", g_action_map_lookup_action(G_ACTION_MAP(app_), "settings"), "enabled",
                         G_BINDING_SYNC_CREATE);
}

void AppDelegate::letThePageHaveItsKeysFirst() {
  // GTK matches application accelerators before the focused widget sees a key. For
  // the editing keys, hand the key to the web view first instead: if the page leaves
  // it, WebKit activates the application's action for it after all.
  GtkEventController* keys = gtk_event_controller_key_new();
  gtk_event_controller_set_propagation_phase(keys, GTK_PHASE_CAPTURE);
  g_signal_connect(keys, "key-pressed", G_CALLBACK(keyPressed), this);
  gtk_widget_add_controller(GTK_WIDGET(window), keys);
}

gboolean AppDelegate::keyPressed(GtkEventControllerKey* controller, guint keyval, guint, guint state,
                                 AppDelegate* self) {
  if (gtk_window_get_focus(self->window) != GTK_WIDGET(self->webView)) return FALSE;
  auto modifiers = static_cast<GdkModifierType>(state & gtk_accelerator_get_default_mod_mask());
  GCharPtr accel(gtk_accelerator_name(gdk_keyval_to_lower(keyval), modifiers));
  CPtr<gchar*, g_strfreev> actions(gtk_application_get_actions_for_accel(self->app_, accel.get()));
  for (gchar** action = actions.get(); action && *action; ++action) {
    if (isPageFirst(*action)) return gtk_event_controller_key_forward(controller, GTK_WIDGET(self->webView));
  }
  return FALSE;
}

void AppDelegate::buildMenu() {
  installActions();
  auto bar = GRef<GMenu>::adopt(g_menu_new());
  for (const MenuDescription& described : mainMenu()) {
    auto menu = GRef<GMenu>::adopt(g_menu_new());
    auto section = GRef<GMenu>::adopt(g_menu_new());
    for (const MenuEntry& entry : described.entries) {
      switch (entry.kind) {
        case MenuEntry::Kind::Separator:
          // GMenu draws separators between sections.
          g_menu_append_section(menu.get(), nullptr, G_MENU_MODEL(section.get()));
          section = GRef<GMenu>::adopt(g_menu_new());
          break;
        case MenuEntry::Kind::Item: {
          g_menu_append(section.get(), entry.title.c_str(), entry.action.c_str());
          std::vector<const char*> accels;
          for (const auto& accel : entry.accelerators) accels.push_back(accel.c_str());
          accels.push_back(nullptr);
          gtk_application_set_accels_for_action(app_, entry.action.c_str(), accels.data());
          break;
        }
      }
    }
    g_menu_append_section(menu.get(), nullptr, G_MENU_MODEL(section.get()));
    g_menu_append_submenu(bar.get(), described.title.c_str(), G_MENU_MODEL(menu.get()));
  }
  gtk_application_set_menubar(app_, G_MENU_MODEL(bar.get()));
}

}  // namespace quorvel
