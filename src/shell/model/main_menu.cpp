#include "shell/model/main_menu.h"

namespace quorvel {
namespace {

MenuEntry item(std::string title, std::string action, Command command, std::vector<std::string> accelerators = {}) {
  return {MenuEntry::Kind::Item, std::move(title), std::move(action), std::move(accelerators), false, command};
}

// Keys a page may take for itself: editing keys (a script editor in the page keeps
// its own undo), its own search, printing or command palette, and a web editor's
// Replace (Ctrl+H), indent (Ctrl+M, Ctrl+]) and outdent (Ctrl+[).
MenuEntry pageFirst(std::string title, std::string action, Command command, std::vector<std::string> accelerators) {
  return {MenuEntry::Kind::Item, std::move(title), std::move(action), std::move(accelerators), true, command};
}

MenuEntry separator() { return {MenuEntry::Kind::Separator, {}, {}, {}}; }

MenuEntry onThePage(MenuEntry entry) {
  entry.needsPage = true;
  return entry;
}

// A page command with its keys the page's first.
MenuEntry pageCommand(std::string title, std::string action, Command command, std::string accelerator) {
  return onThePage(pageFirst(std::move(title), std::move(action), command, {std::move(accelerator)}));
}

// `menu` with `entries` added at the end of the menu titled `title`.
std::vector<MenuDescription> withEntries(std::vector<MenuDescription> menu, const std::string& title,
                                         const std::vector<MenuEntry>& entries) {
  for (auto& described : menu) {
    if (described.title == title) described.entries.insert(described.entries.end(), entries.begin(), entries.end());
  }
  return menu;
}

}  // namespace

const std::vector<MenuDescription>& mainMenu(bool inspector) {
  // Command maps to Ctrl; a capital letter adds Shift. Control-Command-F becomes
  // F11, and F5 and Alt+arrows work as in every Linux browser.
  static const std::vector<MenuDescription> menu = {
      {"Quorvel",
       {
           item("About Quorvel", "app.about", Command::About),
           item("Check for Updates\u2026", "app.check-for-updates", Command::CheckForUpdates),
           separator(),
           onThePage(item("Settings", "app.settings", Command::Settings, {"<Primary>comma"})),
           separator(),
           pageCommand("Print\u2026", "app.print", Command::Print, "<Primary>p"),
           separator(),
           pageFirst("Hide Quorvel", "app.hide", Command::Hide, {"<Primary>h"}),
           separator(),
           item("Quit Quorvel", "app.quit", Command::Quit, {"<Primary>q"}),
       }},
      {"Edit",
       {
           pageFirst("Undo", "app.undo", Command::Undo, {"<Primary>z"}),
           pageFirst("Redo", "app.redo", Command::Redo, {"<Primary><Shift>z"}),
           separator(),
           pageFirst("Cut", "app.cut", Command::Cut, {"<Primary>x"}),
           pageFirst("Copy", "app.copy", Command::Copy, {"<Primary>c"}),
           pageFirst("Paste", "app.paste", Command::Paste, {"<Primary>v"}),
           pageFirst("Select All", "app.select-all", Command::SelectAll, {"<Primary>a"}),
           separator(),
           pageCommand("Find\u2026", "app.find", Command::Find, "<Primary>f"),
           pageCommand("Find Next", "app.find-next", Command::FindNext, "<Primary>g"),
           pageCommand("Find Previous", "app.find-previous", Command::FindPrevious, "<Primary><Shift>g"),
       }},
      {"View",
       {
           item("Reload", "app.reload", Command::Reload, {"<Primary>r", "F5"}),
           pageFirst("Back", "app.go-back", Command::GoBack, {"<Primary>bracketleft", "<Alt>Left"}),
           pageFirst("Forward", "app.go-forward", Command::GoForward, {"<Primary>bracketright", "<Alt>Right"}),
           separator(),
           item("Zoom In", "app.zoom-in", Command::ZoomIn, {"<Primary>plus", "<Primary>equal", "<Primary>KP_Add"}),
           item("Zoom Out", "app.zoom-out", Command::ZoomOut, {"<Primary>minus", "<Primary>KP_Subtract"}),
           item("Actual Size", "app.actual-size", Command::ActualSize, {"<Primary>0", "<Primary>KP_0"}),
           separator(),
           item("Enter Full Screen", "app.toggle-fullscreen", Command::ToggleFullScreen, {"F11"}),
       }},
      {"Window",
       {
           item("Close", "app.close", Command::Close, {"<Primary>w"}),
           pageFirst("Minimize", "app.minimize", Command::Minimize, {"<Primary>m"}),
           separator(),
           item("Show Server Log", "app.show-server-log", Command::ShowServerLog),
       }},
  };
  // Only for a run with the inspector on (QUORVEL_INSPECTOR=1).
  static const std::vector<MenuDescription> withInspector = withEntries(
      menu, "View", {separator(), item("Web Inspector", "app.web-inspector", Command::WebInspector, {"<Primary><Shift>i"})});
  return inspector ? withInspector : menu;
}

}  // namespace quorvel
