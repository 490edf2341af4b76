#pragma once
// The menu bar as data: menus, items, actions and accelerators, in order. The GTK
// layer turns it into a GMenu; tests compare it without a display.

#include <string>
#include <vector>

namespace quorvel {

// What a menu entry does; the GTK side runs each (a switch the compiler checks is whole).
enum class Command {
  About, CheckForUpdates, Settings, Print, Hide, Quit,
  Undo, Redo, Cut, Copy, Paste, SelectAll, Find, FindNext, FindPrevious,
  Reload, GoBack, GoForward, ZoomIn, ZoomOut, ActualSize, ToggleFullScreen, WebInspector,
  Close, Minimize, ShowServerLog,
};

struct MenuEntry {
  enum class Kind { Item, Separator };
  Kind kind = Kind::Item;
  std::string title;
  std::string action;                     // "app.<name>"
  std::vector<std::string> accelerators;  // the first is the one shown, the others work too
  // The page sees these keys first; the action runs only if the page leaves them
  // (editing keys, so that a script editor in the page keeps its own undo; a page's
  // own search, printing and editing commands).
  bool pageFirst = false;
  Command command = Command::About;
  // Acts on the page: off, its keys included, while there is none.
  bool needsPage = false;

  bool operator==(const MenuEntry&) const = default;
};

struct MenuDescription {
  std::string title;  // the application menu is labelled "Quorvel"
  std::vector<MenuEntry> entries;

  bool operator==(const MenuDescription&) const = default;
};

// Application menu, Edit, View, Window; View ends with "Web Inspector" when
// `inspector` is on.
const std::vector<MenuDescription>& mainMenu(bool inspector = false);

}  // namespace quorvel
