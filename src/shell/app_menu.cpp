// The menu's actions as one table, and the menu table turned into a GMenu with
// its accelerators.

#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include "base/glib_ptr.h"
#include "shell/app_delegate.h"
#include "shell/main_menu.h"

namespace quorvel {

std::span<const AppDelegate::Action> AppDelegate::actions() {
  using Self = AppDelegate;
  // Inside a member, these captureless lambdas may reach the private members.
  static const Action table[] = {
      {"about", [](Self* s) { s->showAbout(); }},
      {"check-for-updates", [](Self* s) { s->updater_.checkForUpdates(); }},
      {"settings", [](Self* s) { s->window_->settingsCommand().openSettings(); }},
      {"print", [](Self* s) { s->window_->pagePrinting().print(); }},
      {"hide", [](Self* s) { gtk_window_iconify(s->window_->window()); }},
      {"quit", [](Self* s) { s->apply(s->session_.quitAsked()); }},
      {"undo", [](Self* s) { s->editingCommand(WEBKIT_EDITING_COMMAND_UNDO); }},
      {"redo", [](Self* s) { s->editingCommand(WEBKIT_EDITING_COMMAND_REDO); }},
      {"cut", [](Self* s) { s->editingCommand(WEBKIT_EDITING_COMMAND_CUT); }},
      {"copy", [](Self* s) { s->editingCommand(WEBKIT_EDITING_COMMAND_COPY); }},
      {"paste", [](Self* s) { s->editingCommand(WEBKIT_EDITING_COMMAND_PASTE); }},
      {"select-all", [](Self* s) { s->editingCommand(WEBKIT_EDITING_COMMAND_SELECT_ALL); }},
      {"find", [](Self* s) { s->window_->findBar().open(); }},
      {"find-next", [](Self* s) { s->window_->findBar().step(true); }},
      {"find-previous", [](Self* s) { s->window_->findBar().step(false); }},
      {"reload", [](Self* s) { webkit_web_view_reload(s->window_->webView()); }},
      {"go-back", [](Self* s) { webkit_web_view_go_back(s->window_->webView()); }},
      {"go-forward", [](Self* s) { webkit_web_view_go_forward(s->window_->webView()); }},
      {"zoom-in", [](Self* s) { s->window_->pageZoom().zoomIn(); }},
      {"zoom-out", [](Self* s) { s->window_->pageZoom().zoomOut(); }},
      {"actual-size", [](Self* s) { s->window_->pageZoom().actualSize(); }},
      {"toggle-fullscreen", [](Self* s) { s->window_->toggleFullScreen(); }},
      {"web-inspector", [](Self* s) { s->window_->toggleInspector(); }},
      {"close", [](Self* s) { gtk_window_close(s->window_->window()); }},
      {"minimize", [](Self* s) { gtk_window_iconify(s->window_->window()); }},
      {"show-server-log", [](Self* s) { s->showServerLog(); }},
  };
  return table;
}

std::vector<std::string_view> AppDelegate::actionNames() {
  std::vector<std::string_view> names;
  for (const Action& action : actions()) names.push_back(action.name);
  return names;
}

void AppDelegate::editingCommand(const char* command) {
  // GTK runs the accelerator before the widget with the keyboard sees the key: the
  // command goes to that widget, in whichever of Quorvel's windows has the keyboard
  // (the find bar's field, the recovery view's log, a dialog), and to the page only
  // when the page has it.
  GtkWindow* active = window_->window();
  CPtr<GList, g_list_free> toplevels(gtk_window_list_toplevels());
  for (GList* each = toplevels.get(); each; each = each->next) {
    if (gtk_window_is_active(GTK_WINDOW(each->data))) active = GTK_WINDOW(each->data);
  }
  GtkWidget* focus = gtk_window_get_focus(active);
  GtkWidget* page = GTK_WIDGET(window_->webView());
  if (focus == page || (!focus && active == window_->window() && gtk_widget_get_mapped(page))) {
    webkit_web_view_execute_editing_command(window_->webView(), command);
    return;
  }
  // The web inspector has had the key first, and has no editing commands to call.
  if (!focus || WEBKIT_IS_WEB_VIEW_BASE(focus)) return;
  if (g_str_equal(command, WEBKIT_EDITING_COMMAND_SELECT_ALL)) {
    if (GTK_IS_LABEL(focus)) gtk_label_select_region(GTK_LABEL(focus), 0, -1);
    if (GTK_IS_EDITABLE(focus)) gtk_editable_select_region(GTK_EDITABLE(focus), 0, -1);
    if (GTK_IS_TEXT_VIEW(focus)) g_signal_emit_by_name(focus, "select-all", TRUE);
    return;
  }
  // The widget's own clipboard signal, where it has one (a label only copies).
  const char* signal = g_str_equal(command, WEBKIT_EDITING_COMMAND_CUT)     ? "cut-clipboard"
                       : g_str_equal(command, WEBKIT_EDITING_COMMAND_COPY)  ? "copy-clipboard"
                       : g_str_equal(command, WEBKIT_EDITING_COMMAND_PASTE) ? "paste-clipboard"
                                                                            : nullptr;
  if (signal && g_signal_lookup(signal, G_OBJECT_TYPE(focus))) g_signal_emit_by_name(focus, signal);
}

void AppDelegate::buildMenu() {
  struct Bound {
    AppDelegate* self;
    const Action* action;
  };
  for (const Action& entry : actions()) {
    auto action = GRef<GSimpleAction>::adopt(g_simple_action_new(entry.name, nullptr));
    g_signal_connect_data(action.get(), "activate", G_CALLBACK(+[](GSimpleAction*, GVariant*, Bound* bound) {
                            // Nothing acts on a window taken down at quit.
                            if (bound->self->window_) bound->action->run(bound->self);
                          }),
                          new Bound{this, &entry}, [](gpointer bound, GClosure*) { delete static_cast<Bound*>(bound); },
                          G_CONNECT_DEFAULT);
    g_action_map_add_action(G_ACTION_MAP(app_), G_ACTION(action.get()));
  }
  auto bar = GRef<GMenu>::adopt(g_menu_new());
  for (const MenuDescription& described : mainMenu(window_->inspectorEnabled())) {
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
