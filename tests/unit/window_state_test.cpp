#include "app/window_state.h"

#include <gtest/gtest.h>

#include "test_support.h"

namespace quorvel {
namespace {

TEST(WindowState, DamagedValuesFallBackKeyByKey) {
  struct Case {
    std::string text;
    WindowState state;
    const char* edge;
  } cases[] = {
      {"", {}, "empty file"},
      {"\x89PNG garbage", {}, "not a key file"},
      {"[Other]\nwidth=900\n", {}, "wrong group"},
      {"[MainWindow]\nwidth=900\nheight=700\nmaximized=true\n", {900, 700, true}, "all keys"},
      {"[MainWindow]\nwidth=900\n", {900, 860, false}, "height missing"},
      {"[MainWindow]\nwidth=-5\nheight=700\n", {1280, 700, false}, "negative width"},
      {"[MainWindow]\nwidth=10\nheight=99999999\n", {1280, 860, false}, "too small and too large"},
      {"[MainWindow]\nwidth=abc\nheight=7e2\nmaximized=maybe\n", {}, "not numbers, not a boolean"},
      {"[MainWindow]\nwidth=99999999999999999999\n", {}, "beyond int"},
  };
  for (const auto& c : cases) EXPECT_EQ(parseWindowState(c.text), c.state) << c.edge;
}

TEST(WindowState, SavedStateComesBackAndTheFolderIsMade) {
  test::TempDir dir;
  std::string path = dir.path() + "/new folder/window-state";
  WindowState state{1000, 640, true};
  ASSERT_TRUE(saveWindowState(path, state));
  EXPECT_EQ(loadWindowState(path), state);
  EXPECT_EQ(loadWindowState(dir.path() + "/missing"), WindowState{});
  EXPECT_FALSE(saveWindowState("/proc/self/window-state", state));

  test::writeFile(path, std::string(1 << 20, '['));
  EXPECT_EQ(loadWindowState(path), WindowState{}) << "huge file";
}

}  // namespace
}  // namespace quorvel
