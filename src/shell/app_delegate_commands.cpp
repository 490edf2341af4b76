// The delegate's commands: the menu table turned into a GMenu with its
// accelerators, and each entry's command carried out.

#include <gtk/gtk.h>

#include "base/glib_ptr.h"
#include "shell/app_delegate.h"
#include "shell/model/main_menu.h"

namespace quorvel {

void AppDelegate::run(Command command) {
  PageView& page = window_->page();
  switch (command) {
    case Command::About: showAbout(); break;
    case Command::CheckForUpdates: updater_.checkForUpdates(); break;
    case Command::Settings: page.openSettings(); break;
    case Command::Print: page.print(); break;
    case Command::Hide:
    case Command::Minimize: gtk_window_iconify(window_->window()); break;
    case Command::Quit: apply(session_.quitAsked()); break;
    case Command::Undo: page.edit(PageView::Edit::Undo); break;
    case Command::Redo: page.edit(PageView::Edit::Redo); break;
    case Command::Cut: page.edit(PageView::Edit::Cut); break;
    case Command::Copy: page.edit(PageView::Edit::Copy); break;
    case Command::Paste: page.edit(PageView::Edit::Paste); break;
    case Command::SelectAll: page.edit(PageView::Edit::SelectAll); break;
    case Command::Find: page.find(); break;
    case Command::FindNext: page.findStep(true); break;
    case Command::FindPrevious: page.findStep(false); break;
    case Command::Reload: page.reload(); break;
    case Command::GoBack: page.goBack(); break;
    case Command::GoForward: page.goForward(); break;
    case Command::ZoomIn: page.zoomIn(); break;
    case Command::ZoomOut: page.zoomOut(); break;
    case Command::ActualSize: page.actualSize(); break;
    case Command::ToggleFullScreen: window_->toggleFullScreen(); break;
    case Command::WebInspector: page.toggleInspector(); break;
    case Command::Close: gtk_window_close(window_->window()); break;
    case Command::ShowServerLog: showServerLog(); break;
  }
}

void AppDelegate::enablePageCommands(bool enabled) {
  for (const MenuDescription& menu : mainMenu(true)) {
    for (const MenuEntry& entry : menu.entries) {
      if (!entry.needsPage) continue;
      if (GAction* action = g_action_map_lookup_action(G_ACTION_MAP(app_), entry.action.c_str() + 4)) {
        g_simple_action_set_enabled(G_SIMPLE_ACTION(action), enabled);
      }
    }
  }
}

void AppDelegate::buildMenu() {
  struct Bound {
    AppDelegate* self;
    Command command;
  };
  auto bar = GRef<GMenu>::adopt(g_menu_new());
  for (const MenuDescription& described : mainMenu(window_->page().inspectorEnabled())) {
    auto menu = GRef<GMenu>::adopt(g_menu_new());
    auto section = GRef<GMenu>::adopt(g_menu_new());
    for (const MenuEntry& entry : described.entries) {
      if (entry.kind == MenuEntry::Kind::Separator) {
        // GMenu draws separators between sections.
        g_menu_append_section(menu.get(), nullptr, G_MENU_MODEL(section.get()));
        section = GRef<GMenu>::adopt(g_menu_new());
        continue;
      }
      auto action = GRef<GSimpleAction>::adopt(g_simple_action_new(entry.action.c_str() + 4, nullptr));  // "app."
      SignalConnections::forLifeOf(action.get(), "activate", G_CALLBACK(+[](GSimpleAction*, GVariant*, Bound* bound) {
                                     // Nothing acts on a window taken down at quit.
                                     if (bound->self->window_) bound->self->run(bound->command);
                                   }),
                                   new Bound{this, entry.command});
      g_action_map_add_action(G_ACTION_MAP(app_), G_ACTION(action.get()));
      g_menu_append(section.get(), entry.title.c_str(), entry.action.c_str());
      std::vector<const char*> accels;
      for (const auto& accel : entry.accelerators) accels.push_back(accel.c_str());
      accels.push_back(nullptr);
      gtk_application_set_accels_for_action(app_, entry.action.c_str(), accels.data());
    }
    g_menu_append_section(menu.get(), nullptr, G_MENU_MODEL(section.get()));
    g_menu_append_submenu(bar.get(), described.title.c_str(), G_MENU_MODEL(menu.get()));
  }
  gtk_application_set_menubar(app_, G_MENU_MODEL(bar.get()));
}

}  // namespace quorvel
