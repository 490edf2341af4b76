// Which pages stay in the window, and the names downloads are saved under.

#include <gtest/gtest.h>

#include <cmath>

#include "test_support.h"
#include "web/cursor_idle.h"
#include "web/download_name.h"
#include "web/navigation_rules.h"
#include "web/permission_rules.h"
#include "web/spelling_languages.h"
#include "web/zoom_levels.h"

namespace quorvel {
namespace {

TEST(NavigationRules, LocalPagesStayForeignOnesGoToTheDesktop) {
  const LocalOrigin origin = originOf("http://127.0.0.1:3789/", 3789);
  // Each row: the URL (empty for none), then what the main frame, a sub-frame and
  // a new-window request do with it: L(oad), D(esktop), N(othing).
  const struct { const char* url; const char* outcome; } rows[] = {
      {"", "LLN"}, {"http://127.0.0.1:3789/", "LLL"}, {"http://127.0.0.1:3789/notes/1?x=1#top", "LLL"},
      {"https://127.0.0.1:3789/", "LLL"},  // the scheme is not compared
      {"http://127.0.0.1:3790/", "DLD"}, {"http://127.0.0.1/", "DLD"}, {"http://localhost:3789/", "DLD"},
      {"https://example.com/", "DLD"}, {"about:blank", "LLL"}, {"data:text/html,hi", "LLL"}, {"not a url", "DDD"},
      {"mailto:someone@example.com", "DDD"}, {"file:///etc/hosts", "NND"}, {"blob:http://127.0.0.1:3789/0b1c", "DLD"}};
  for (const auto& row : rows) {
    OptionalURL url = *row.url ? OptionalURL(row.url) : std::nullopt;
    // The action, then (for what WebKit loads itself) the response.
    auto loads = [&](bool mainFrame) {
      Navigation action = decideNavigationAction(url, origin);
      if (action != Navigation::Allow) return "LDN"[static_cast<int>(action)];
      return !url || decideResponse(*url, mainFrame, origin) == Navigation::Allow ? 'L' : 'D';
    };
    std::string outcome{loads(true), loads(false), "NLD"[static_cast<int>(decideNewWindow(url, origin))]};
    EXPECT_EQ(outcome, row.outcome) << row.url;
  }
  EXPECT_FALSE(isLocal("http://127.0.0.1:3789/", originOf("http://127.0.0.1:3789/", 4000))) << "the given port counts";
}

TEST(PermissionRules, NotificationsForTheServersOriginOnly) {
  const LocalOrigin server = originOf("http://127.0.0.1:3789/", 3789);
  EXPECT_TRUE(permissionGranted("notifications", "http://127.0.0.1:3789", server));
  for (const char* origin : {"http://127.0.0.1:3790", "https://127.0.0.1:3789", "http://localhost:3789", "http://127.0.0.1",
                             "null", "", "http://127.0.0.1:3789.evil.example", "http://127.0.0.1:37890"})
    EXPECT_FALSE(permissionGranted("notifications", origin, server)) << origin;
  for (const char* permission : {"geolocation", "camera", "microphone", "clipboard-read", "Notifications", ""})
    EXPECT_FALSE(permissionGranted(permission, "http://127.0.0.1:3789", server)) << permission;
}

TEST(SpellingLanguages, TheLocalesLanguagesThatHaveADictionaryElseAmericanEnglish) {
  const std::set<std::string> installed{"de_CH", "de_DE", "en_GB", "en_US", "fr_FR"};
  // The locale's names, then the dictionaries chosen (a bare language takes its first dictionary).
  const std::pair<std::vector<std::string>, std::vector<std::string>> rows[] = {
      {{"de_DE.UTF-8", "de_DE", "de.UTF-8", "de", "C"}, {"de_DE"}}, {{"de_AT.UTF-8", "de_AT", "de", "C"}, {"de_CH"}},
      {{"fr_FR@euro", "fr", "en_GB", "en", "C"}, {"fr_FR", "en_GB"}}, {{"de_DE", "de", "en_US", "en"}, {"de_DE", "en_US"}},
      {{"pt_BR.UTF-8", "pt_BR", "pt", "C"}, {"en_US"}}, {{"C"}, {"en_US"}}, {{}, {"en_US"}}};
  for (const auto& [names, chosen] : rows) EXPECT_EQ(spellingLanguages(names, installed), chosen) << testing::PrintToString(names);
  EXPECT_EQ(spellingLanguages({"en_US", "en"}, {"en"}), std::vector<std::string>{"en"});
}

TEST(DownloadName, SafeAndNumberedNames) {
  const struct { const char* suggested; const char* first; const char* third; } rows[] = {
      {"report.csv", "report.csv", "report (2).csv"}, {"archive.tar.gz", "archive.tar.gz", "archive.tar (2).gz"},
      {"README", "README", "README (2)"}, {"../../.bashrc", "bashrc", "bashrc (2)"},
      {"a/b\x01.txt", "b.txt", "b (2).txt"}, {"", "download", "download (2)"}, {"...", "download", "download (2)"}};
  for (const auto& row : rows) {
    EXPECT_EQ(numberedName(safeDownloadName(row.suggested), 0), row.first) << row.suggested;
    EXPECT_EQ(numberedName(safeDownloadName(row.suggested), 2), row.third) << row.suggested;
  }
}

TEST(ZoomLevels, SteppingClampingAndPinching) {
  // From each zoom: Zoom In, Zoom Out, the zoom applied (a millionth from a level counts as at it).
  const struct { double current, in, out, clamped; } rows[] = {
      {1.0, 1.1, 0.9, 1.0}, {1.0000004, 1.1, 0.9, 1.0000004}, {0.9999995, 1.1, 0.9, 0.9999995},
      {1.03, 1.1, 1.0, 1.03}, {3.0, 3.0, 2.5, 3.0}, {0.5, 0.67, 0.5, 0.5}, {3.5, 3.0, 3.0, 3.0}, {0.1, 0.5, 0.5, 0.5}};
  for (const auto& row : rows) {
    EXPECT_EQ(zoomInFrom(row.current), row.in) << row.current;
    EXPECT_EQ(zoomOutFrom(row.current), row.out) << row.current;
    EXPECT_EQ(clampZoom(row.current), row.clamped) << row.current;
  }
  std::vector<double> visited{0.5};
  for (int i = 0; i < 12; ++i) visited.push_back(zoomInFrom(visited.back()));
  EXPECT_EQ(visited, (std::vector<double>{0.5, 0.67, 0.8, 0.9, 1.0, 1.1, 1.25, 1.5, 1.75, 2.0, 2.5, 3.0, 3.0}));
  EXPECT_FALSE(clampZoom(NAN) || clampZoom(INFINITY));
  EXPECT_DOUBLE_EQ(pinchedZoom(1.0, 1.2, 1.0), 1.2);
  EXPECT_DOUBLE_EQ(pinchedZoom(1.5, 1.2, 1.2), 1.5) << "only the change since the last message counts";
}

TEST(ZoomLevels, TheFileHoldsOneNumberWrittenShortest) {
  const struct { const char* text; std::optional<double> zoom; } rows[] = {
      {"1.25", 1.25}, {"7", 7.0}, {"0.1", 0.1}, {"0x1p0", 1.0}, {"1.25\n", {}}, {" 1.25", {}}, {"", {}},
      {"abc", {}}, {"1,5", {}}, {"nan", {}}, {"inf", {}}, {"1e400", {}}, {"1e-400", {}}};
  for (const auto& row : rows) EXPECT_EQ(parseZoomText(row.text), row.zoom) << row.text;
  for (double zoom : {1.0, 0.67, 1.1, 2.5, 3.0, 1.0000004, 1.2345678901234567})
    EXPECT_EQ(parseZoomText(formatZoom(zoom)), zoom);
  EXPECT_EQ(formatZoom(1.0) + formatZoom(0.67) + formatZoom(3.0), "1.00.673.0") << "shortest, always with a point";

  test::TempDir dir;
  const std::string path = dir.path() + "/new/page-zoom";
  EXPECT_FALSE(readZoomFile(path));
  EXPECT_FALSE(saveZoomFile(path, 1.1));
  EXPECT_EQ(test::readFile(path), "1.1");
  EXPECT_EQ(readZoomFile(path), 1.1);
  test::writeFile(path, "\xff" "1.1");
  EXPECT_FALSE(readZoomFile(path)) << "not UTF-8";
  test::writeFile(dir.path() + "/occupied", "a file where the folder belongs");
  EXPECT_TRUE(saveZoomFile(dir.path() + "/occupied/page-zoom", 2.0));
}

TEST(CursorIdle, HiddenAfterRestingInElementFullScreenWhileActive) {
  // One sample every half second: "m" the pointer moved, "r" it rested, "b" it went
  // away and came back in between; capitals while an element is in full screen, "~"
  // before a sample while the window is not active. The samples that hide it.
  const struct { const char* samples; std::vector<int> hides; } rows[] = {
      {"RRRRRRRR", {5}}, {"rrrrrrrr", {}}, {"R~R~R~R~R~R~R~R", {}}, {"rrrrrrrrrrrrrrrrrrrrRR", {21}},
      {"RRRRRRMRRRRRRRR", {5, 12}}, {"RRRRRRBRRRRRR", {5}}, {"RRRRRRMRRR", {5}}};
  for (const auto& row : rows) {
    CursorIdle idle({0, 0}, 0);
    Point at;
    std::vector<int> hides;
    int sample = 0;
    for (const char* c = row.samples; *c; ++c) {
      if (*c == '~') continue;
      const bool active = c == row.samples || c[-1] != '~';
      if (std::tolower(*c) == 'm') at.x += 1;
      if (idle.tick(at, ++sample * CursorIdle::tickInterval, std::isupper(*c), active)) hides.push_back(sample);
    }
    EXPECT_EQ(hides, row.hides) << row.samples;
  }
}

}  // namespace
}  // namespace quorvel
