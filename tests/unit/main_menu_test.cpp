#include "app/main_menu.h"

#include <gtk/gtk.h>
#include <gtest/gtest.h>

#include <set>

namespace quorvel {
namespace {

std::vector<std::string> titles(const MenuDescription& menu) {
  std::vector<std::string> out;
  for (const auto& e : menu.entries) {
    switch (e.kind) {
      case MenuEntry::Kind::Item: out.push_back(e.title); break;
      case MenuEntry::Kind::Separator: out.push_back("-"); break;
      case MenuEntry::Kind::SettingsPlace: out.push_back("[settings]"); break;
      case MenuEntry::Kind::ZoomPlace: out.push_back("[zoom]"); break;
    }
  }
  return out;
}

TEST(MainMenu, FourMenusWithTheirItemsInOrder) {
  const auto& menu = mainMenu();
  ASSERT_EQ(menu.size(), 4u);
  EXPECT_EQ(menu[0].title, "Quorvel");
  EXPECT_EQ(titles(menu[0]), (std::vector<std::string>{"About Quorvel", "Check for Updates\u2026", "-",
                                                       "[settings]", "-", "Hide Quorvel", "-", "Quit Quorvel"}));
  EXPECT_EQ(menu[1].title, "Edit");
  EXPECT_EQ(titles(menu[1]),
            (std::vector<std::string>{"Undo", "Redo", "-", "Cut", "Copy", "Paste", "Select All"}));
  EXPECT_EQ(menu[2].title, "View");
  EXPECT_EQ(titles(menu[2]), (std::vector<std::string>{"Reload", "Back", "Forward", "-", "[zoom]", "-",
                                                       "Enter Full Screen"}));
  EXPECT_EQ(menu[3].title, "Window");
  EXPECT_EQ(titles(menu[3]), (std::vector<std::string>{"Close", "Minimize"}));
}

TEST(MainMenu, KeysFollowTheLinuxMapping) {
  std::map<std::string, std::vector<std::string>> keys;
  for (const auto& menu : mainMenu()) {
    for (const auto& e : menu.entries) keys[e.title] = e.accelerators;
  }
  EXPECT_EQ(keys["Quit Quorvel"], (std::vector<std::string>{"<Primary>q"}));
  EXPECT_EQ(keys["Redo"], (std::vector<std::string>{"<Primary><Shift>z"})) << "capital Z adds Shift";
  EXPECT_EQ(keys["Enter Full Screen"], (std::vector<std::string>{"F11"}));
  EXPECT_EQ(keys["Reload"], (std::vector<std::string>{"<Primary>r", "F5"}));
  EXPECT_EQ(keys["Back"], (std::vector<std::string>{"<Primary>bracketleft", "<Alt>Left"}));
  EXPECT_EQ(keys["Forward"], (std::vector<std::string>{"<Primary>bracketright", "<Alt>Right"}));
  EXPECT_TRUE(keys["About Quorvel"].empty());
  EXPECT_TRUE(keys["Check for Updates\u2026"].empty());
}

TEST(MainMenu, EveryAcceleratorParsesAndNoneIsTakenTwice) {
  std::set<std::pair<guint, GdkModifierType>> seen;
  std::set<std::string> actions;
  for (const auto& menu : mainMenu()) {
    for (const auto& e : menu.entries) {
      if (e.kind != MenuEntry::Kind::Item) continue;
      EXPECT_TRUE(e.action.starts_with("app.")) << e.title;
      EXPECT_TRUE(actions.insert(e.action).second) << "one item per action: " << e.action;
      for (const auto& accel : e.accelerators) {
        guint key = 0;
        GdkModifierType mods{};
        ASSERT_TRUE(gtk_accelerator_parse(accel.c_str(), &key, &mods)) << accel;
        EXPECT_TRUE(seen.insert({key, mods}).second) << accel << " is used twice";
      }
    }
  }
}

}  // namespace
}  // namespace quorvel
