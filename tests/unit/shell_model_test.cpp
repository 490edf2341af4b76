// The menu table and the window-state file, without a display.

#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <set>

#include "shell/main_menu.h"
#include "shell/window_state.h"
#include "test_support.h"

namespace quorvel {
namespace {

TEST(MainMenu, EveryActionOnceEveryAcceleratorParsesAndNoneIsTakenTwice) {
  std::set<std::pair<guint, GdkModifierType>> seen;
  std::set<std::string> actions;
  for (const auto& menu : mainMenu()) {
    for (const auto& e : menu.entries) {
      if (e.kind != MenuEntry::Kind::Item) continue;
      EXPECT_TRUE(e.action.starts_with("app.") && actions.insert(e.action).second) << e.action;
      for (const auto& accel : e.accelerators) {
        std::pair<guint, GdkModifierType> keys{};
        ASSERT_TRUE(gtk_accelerator_parse(accel.c_str(), &keys.first, &keys.second)) << accel;
        EXPECT_TRUE(seen.insert(keys).second) << accel << " is used twice";
      }
    }
  }
}

TEST(WindowState, DamagedValuesFallBackKeyByKeyAndSavedStateComesBack) {
  const struct { std::string text; WindowState state; } rows[] = {
      {"", {}}, {"\x89PNG garbage", {}}, {"[Other]\nwidth=900\n", {}},
      {"[MainWindow]\nwidth=900\nheight=700\nmaximized=true\n", {900, 700, true}},
      {"[MainWindow]\nwidth=900\n", {900, 860, false}}, {"[MainWindow]\nwidth=-5\nheight=700\n", {1280, 700, false}},
      {"[MainWindow]\nwidth=10\nheight=99999999\n", {1280, 860, false}},
      {"[MainWindow]\nwidth=abc\nheight=7e2\nmaximized=maybe\n", {}},
      {"[MainWindow]\nwidth=99999999999999999999\n", {}}};
  for (const auto& row : rows) EXPECT_EQ(parseWindowState(row.text), row.state) << row.text;

  test::TempDir dir;
  std::string path = dir.path() + "/new folder/window-state";
  ASSERT_TRUE(saveWindowState(path, {1000, 640, true}));
  EXPECT_EQ(loadWindowState(path), (WindowState{1000, 640, true}));
  EXPECT_EQ(loadWindowState(dir.path() + "/missing"), WindowState{});
  EXPECT_FALSE(saveWindowState("/proc/self/window-state", {}));
  test::writeFile(path, std::string(1 << 20, '['));
  EXPECT_EQ(loadWindowState(path), WindowState{}) << "huge file";
}

}  // namespace
}  // namespace quorvel
