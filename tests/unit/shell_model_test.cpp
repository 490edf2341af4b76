// The session's rules, the menu table and the window-state file, without a display.

#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <algorithm>
#include <map>
#include <set>
#include <sstream>

#include "shell/model/color_scheme.h"
#include "web/rules/find_progress.h"
#include "shell/model/main_menu.h"
#include "shell/model/session.h"
#include "shell/model/window_state.h"
#include "test_support.h"

namespace quorvel {
namespace {

TEST(MainMenu, EveryItemRunsACommandOnceAndEveryAcceleratorParsesAndIsTakenOnce) {
  std::set<std::pair<guint, GdkModifierType>> seen;
  std::set<std::string> named;
  std::set<Command> commands;
  for (const auto& menu : mainMenu(true)) {  // with the inspector's item
    for (const auto& e : menu.entries) {
      if (e.kind != MenuEntry::Kind::Item) continue;
      EXPECT_TRUE(e.action.starts_with("app.") && named.insert(e.action).second) << e.action;
      EXPECT_TRUE(commands.insert(e.command).second) << e.title << " runs another entry's command";
      for (const auto& accel : e.accelerators) {
        std::pair<guint, GdkModifierType> keys{};
        gtk_accelerator_parse(accel.c_str(), &keys.first, &keys.second);
        EXPECT_NE(keys.first, 0u) << accel;
        EXPECT_TRUE(seen.insert(keys).second) << accel << " is used twice";
      }
    }
  }
  for (const auto& menu : mainMenu())
    for (const auto& e : menu.entries) EXPECT_NE(e.action, "app.web-inspector") << "only with the inspector on";
}

TEST(FindProgress, WhereTheFindBarSaysItIs) {
  // Requests: S(earch), n(ext), p(revious), c(leared); answers: f(ound), x (not
  // found), a number (counted; 4294967295: more than the most counted).
  const struct { const char* events; const char* text; } rows[] = {
      {"S", ""}, {"S f 12", "1 of 12"}, {"S f 12 n f n f", "3 of 12"},
      {"S f 3 p f", "3 of 3"}, {"S f 3 n f n f n f", "1 of 3"},  // wrapping both ways
      {"S f 3 n n p n f f f f", "3 of 3"},                       // steps sent faster than answered
      {"S x 0", "No matches"}, {"S f 3 n x", "No matches"}, {"S f 3 n x S f 3", "1 of 3"},
      {"S f 3 c", ""}, {"f x 7", ""},                             // nothing asked
      {"S S f 5 f", ""}, {"S S f 5 f 2", "1 of 2"},               // an earlier text's count is not this one's
      {"S f 4294967295 n f", "More than 1000 matches"}};
  for (const auto& row : rows) {
    FindProgress progress;
    std::istringstream in(row.events);
    for (std::string event; in >> event;) {
      switch (event[0]) {
        case 'S': progress.searched(); break;
        case 'n': case 'p': progress.stepped(event[0] == 'n'); break;
        case 'c': progress.cleared(); break;
        case 'f': progress.found(); break;
        case 'x': progress.notFound(); break;
        default: progress.counted(static_cast<unsigned>(std::stoul(event)));
      }
    }
    EXPECT_EQ(progress.text(), row.text) << row.events;
  }
}

TEST(ColorScheme, ThePortalsNumberOrGnomesSettingSaysDarkLightOrNothing) {
  // The portal's answer (ReadOne's, or Read's one variant deeper), then D(ark), L(ight), N(o preference) or ? (no
  // answer: GNOME's setting is asked).
  for (auto [answer, scheme] : {std::pair{"<uint32 1>", 'D'}, {"<<uint32 1>>", 'D'}, {"<uint32 0>", 'N'}, {"<<uint32 2>>", 'L'},
                                {"<uint32 7>", 'N'}, {"<int32 1>", '?'}, {"<'prefer-dark'>", '?'}, {"@mv nothing", '?'}}) {
    VariantPtr value(g_variant_parse(nullptr, answer, nullptr, nullptr, nullptr));
    std::optional<ColorScheme> said = portalColorScheme(value.get());
    EXPECT_EQ(said ? "NDL"[static_cast<int>(*said)] : '?', scheme) << answer;
  }
  for (auto [value, scheme] : {std::pair{"prefer-dark", 'D'}, {"prefer-light", 'L'}, {"default", 'N'}, {"", 'N'}})
    EXPECT_EQ("NDL"[static_cast<int>(gsettingsColorScheme(value))], scheme) << value;
}

TEST(Session, WhatTheWindowShowsLoadsAndStarts) {
  // Inputs: L(aunch), S(tart succeeded), F(ailed), E (server ended), u (a page
  // shown), p (page process ended 1 s later), P (31 s later), R(estart), r(eload),
  // Q(uit). Each gives: view (s(pinner) p(age) X (server stopped) Y (page
  // stopped)), the page loaded (/ the entry page, 2 the one shown), + start the
  // server, ! alert (or ? the failure said in the view), q quit, e page commands (Settings, Find, Print) on; '.' for
  // nothing.
  const struct { const char* inputs; const char* steps; } rows[] = {
      {"LS", "s.+... p/...e"},
      {"LFRQQ", "s.+... ...!.. ...... ....q. ......"},   // no way back from a failed start
      {"LSuERS", "s.+... p/...e .....e X..... s.+... p2...e"},
      {"LSuERFRS", "s.+... p/...e .....e X..... s.+... X..?.. s.+... p2...e"},  // a failed restart: the view again
      {"LE", "s.+... ......"},                            // only a server that started can stop
      {"LSpuPp", "s.+... p/...e ./...e .....e .2...e Y....."},  // 31 s on: a mishap, then again
      {"LSuppr", "s.+... p/...e .....e .2...e Y..... p2...e"},
      {"LpSEpR", "s.+... ...... p/...e X..... ...... s.+..."},  // no page to reload yet
      {"LSuppE", "s.+... p/...e .....e .2...e Y..... X....."},
      {"LQSE", "s.+... ....q. ...... ......"},            // nothing more once quitting
      {"LSpQpr", "s.+... p/...e ./...e ....q. ...... ......"}};
  for (const auto& row : rows) {
    Session session("http://127.0.0.1:3789/");
    std::int64_t now = 0;
    std::string steps;
    for (const char* input = row.inputs; *input; ++input) {
      const std::map<char, Session::Step (Session::*)()> plain = {{'L', &Session::launch}, {'E', &Session::serverEnded},
          {'R', &Session::restartAsked}, {'r', &Session::reloadAsked}, {'Q', &Session::quitAsked}};
      Session::Step step;
      if (plain.contains(*input)) step = (session.*plain.at(*input))();
      if (*input == 'S' || *input == 'F') step = session.startFinished(*input == 'S' ? success() : AppError("It broke."));
      if (*input == 'p' || *input == 'P') step = session.pageProcessEnded(now += *input == 'p' ? 1'000'000 : 31'000'000);
      if (*input == 'u') session.pageChanged(""), session.pageChanged("http://127.0.0.1:3789/2");
      EXPECT_EQ(step.failure.value_or(step.why.empty() ? "It broke." : step.why), "It broke.");
      const char* load = !step.load ? "." : *step.load == "http://127.0.0.1:3789/" ? "/" : "2";
      steps += std::string(steps.empty() ? "" : " ") + (step.show ? "spXY"[static_cast<int>(*step.show)] : '.') +
               load + (step.startServer ? '+' : '.') + (step.failure ? '!' : step.why.empty() ? '.' : '?') + (step.quit ? 'q' : '.') +
               (session.pageCommandsEnabled() ? 'e' : '.');
    }
    EXPECT_EQ(steps, row.steps) << row.inputs;
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
  ASSERT_TRUE(saveWindowState(path, {1000, 640, true}).ok());
  EXPECT_EQ(loadWindowState(path), (WindowState{1000, 640, true}));
  EXPECT_EQ(loadWindowState(dir.path() + "/missing"), WindowState{});
  EXPECT_FALSE(saveWindowState("/proc/self/window-state", {}).ok());
  test::writeFile(path, std::string(1 << 20, '['));
  EXPECT_EQ(loadWindowState(path), WindowState{}) << "huge file";
}

}  // namespace
}  // namespace quorvel
