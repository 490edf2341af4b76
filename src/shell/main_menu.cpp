#include "shell/main_menu.h"

namespace quorvel {
namespace {

MenuEntry item(std::string title, std::string action, std::vector<std::string> accelerators = {}) {
  return {MenuEntry::Kind::Item, std::move(title), std::move(action), std::move(accelerators)};
}

MenuEntry editing(std::string title, std::string action, std::string accelerator) {
  return {MenuEntry::Kind::Item, std::move(title), std::move(action), {std::move(accelerator)}, true};
}

MenuEntry separator() { return {MenuEntry::Kind::Separator, {}, {}, {}}; }

// Keys a page may take for itself: its own search, printing or command palette, and
// a web editor's Replace (Ctrl+H), indent (Ctrl+M, Ctrl+]) and outdent (Ctrl+[).
MenuEntry pageFirst(std::string title, std::string action, std::vector<std::string> accelerators) {
  return {MenuEntry::Kind::Item, std::move(title), std::move(action), std::move(accelerators), true};
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
           item("About Quorvel", "app.about"),
           item("Check for Updates\u2026", "app.check-for-updates"),
           separator(),
           item("Settings", "app.settings", {"<Primary>comma"}),
           separator(),
           pageFirst("Print\u2026", "app.print", {"<Primary>p"}),
           separator(),
           pageFirst("Hide Quorvel", "app.hide", {"<Primary>h"}),
           separator(),
           item("Quit Quorvel", "app.quit", {"<Primary>q"}),
       }},
      {"Edit",
       {
           editing("Undo", "app.undo", "<Primary>z"),
           editing("Redo", "app.redo", "<Primary><Shift>z"),
           separator(),
           editing("Cut", "app.cut", "<Primary>x"),
           editing("Copy", "app.copy", "<Primary>c"),
           editing("Paste", "app.paste", "<Primary>v"),
           editing("Select All", "app.select-all", "<Primary>a"),
           separator(),
           pageFirst("Find\u2026", "app.find", {"<Primary>f"}),
           pageFirst("Find Next", "app.find-next", {"<Primary>g"}),
           pageFirst("Find Previous", "app.find-previous", {"<Primary><Shift>g"}),
       }},
      {"View",
       {
           item("Reload", "app.reload", {"<Primary>r", "F5"}),
           pageFirst("Back", "app.go-back", {"<Primary>bracketleft", "<Alt>Left"}),
           pageFirst("Forward", "app.go-forward", {"<Primary>bracketright", "<Alt>Right"}),
           separator(),
           item("Zoom In", "app.zoom-in", {"<Primary>plus", "<Primary>equal", "<Primary>KP_Add"}),
           item("Zoom Out", "app.zoom-out", {"<Primary>minus", "<Primary>KP_Subtract"}),
           item("Actual Size", "app.actual-size", {"<Primary>0", "<Primary>KP_0"}),
           separator(),
           item("Enter Full Screen", "app.toggle-fullscreen", {"F11"}),
       }},
      {"Window",
       {
           item("Close", "app.close", {"<Primary>w"}),
           pageFirst("Minimize", "app.minimize", {"<Primary>m"}),
           separator(),
           item("Show Server Log", "app.show-server-log"),
       }},
  };
  // Only for a run with the inspector on (QUORVEL_INSPECTOR=1).
  static const std::vector<MenuDescription> withInspector = withEntries(
      menu, "View", {separator(), item("Web Inspector", "app.web-inspector", {"<Primary><Shift>i"})});
  return inspector ? withInspector : menu;
}

}  // namespace quorvel
