// Which pages stay in the window, and the names downloads are saved under.

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <set>
#include <sstream>
#include <tuple>

#include "test_support.h"
#include "web/rules/context_menu_rules.h"
#include "web/rules/cursor_idle.h"
#include "web/rules/download_file.h"
#include "web/rules/download_name.h"
#include "web/rules/navigation_rules.h"
#include "web/rules/notification_text.h"
#include "web/rules/permission_rules.h"
#include "web/rules/spelling_languages.h"
#include "web/rules/zoom_levels.h"

namespace quorvel {
namespace {

namespace fs = std::filesystem;

const LocalOrigin kServer = *LocalOrigin::onPort(3789);

TEST(NavigationRules, LocalPagesStayForeignOnesGoToTheDesktop) {
  // Each row: the URL (empty for none), then what the main frame, a sub-frame and a new-window request do with
  // it when the user started it: L(oad), D(esktop), N(othing), X (dropped); then the main frame's and the new
  // window's when only a script did (a foreign frame's click); last, T if it is loaded with the launch token,
  // and so kept as the page to come back to. A bare '%' and an escape that is not UTF-8 are as WebKit passes them.
  const struct { const char* url; const char* outcome; } rows[] = {
      {"", "LLNLN-"}, {"http://127.0.0.1:3789/", "LLLLLT"}, {"http://127.0.0.1:3789/notes?q=50%", "LLLLLT"},
      {"http://127.0.0.1:3789/caf%E9#top", "LLLLLT"}, {"blob:http://127.0.0.1:3789/0b1c", "LLLLL-"},
      {"https://127.0.0.1:3789/", "DLDDD-"}, {"http://127.0.0.1:3790/", "DLDDD-"}, {"http://localhost:3789/", "DLDDD-"},
      {"https://example.com/50%", "DLDDD-"}, {"blob:https://example.com/0b1c", "XLNXN-"}, {"about:blank", "XLNXN-"},
      {"data:text/html,<form>Sign in again", "XLNXN-"}, {"javascript:alert(1)", "XXNXN-"}, {"not a url", "XXNXN-"},
      {"mailto:someone@example.com", "DDDXN-"}, {"magnet:?xt=urn:btih:0", "DDDXN-"}, {"file:///etc/hosts", "XXNXN-"}};
  for (const auto& row : rows) {
    OptionalURL url = *row.url ? OptionalURL(row.url) : std::nullopt;
    // The action, then (for what WebKit loads itself) the response.
    auto loads = [&](bool mainFrame, bool userStarted) {
      Navigation action = decideNavigationAction(url, kServer, userStarted);
      if (action != Navigation::Allow) return "LDX"[static_cast<int>(action)];
      return !url ? 'L' : "LDX"[static_cast<int>(decideResponse(*url, mainFrame, kServer))];
    };
    auto newWindow = [&](bool userStarted) { return "NLD"[static_cast<int>(decideNewWindow(url, kServer, userStarted))]; };
    std::string outcome{loads(true, true), loads(false, true), newWindow(true), loads(true, false), newWindow(false),
                        url && loadsWithToken(*url, kServer) ? 'T' : '-'};
    EXPECT_EQ(outcome, row.outcome) << row.url;
  }
  // Saved: the server's files the window cannot show or that come as attachments, no one else's.
  EXPECT_TRUE(savedAsDownload("http://127.0.0.1:3789/r.csv", kServer, true, true));
  EXPECT_TRUE(savedAsDownload("blob:http://127.0.0.1:3789/0b1c", kServer, false, false));
  EXPECT_FALSE(savedAsDownload("http://127.0.0.1:3789/", kServer, true, false));
  for (const char* url : {"https://example.com/r.csv", "data:text/csv,1", "http://127.0.0.1:3790/r.csv"})
    EXPECT_FALSE(savedAsDownload(url, kServer, false, true)) << url;
}

TEST(PermissionRules, NotificationsForTheServersOriginOnly) {
  EXPECT_TRUE(permissionGranted("notifications", "http://127.0.0.1:3789", kServer));
  EXPECT_TRUE(permissionGranted("notifications", "http://127.0.0.1", *LocalOrigin::onPort(80))) << "as WebKit writes it";
  for (const char* origin : {"http://127.0.0.1:3790", "https://127.0.0.1:3789", "http://localhost:3789", "http://127.0.0.1",
                             "null", "", "http://127.0.0.1:3789.evil.example", "http://127.0.0.1:37890"})
    EXPECT_FALSE(permissionGranted("notifications", origin, kServer)) << origin;
  for (const char* permission : {"geolocation", "camera", "microphone", "clipboard-read", "Notifications", ""})
    EXPECT_FALSE(permissionGranted(permission, "http://127.0.0.1:3789", kServer)) << permission;
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

TEST(PageMenu, AnApplicationsMenuFromWhatWebKitOffers) {
  // WebKit's actions in their order, from the separator (-1) on; "custom" is 10000.
  std::istringstream order("| none open newwin dl copylink openimg dlimg copyimg imgurl frame back fwd stop reload "
                           "copy cut paste delete all im unicode guess noguess ignore learn grammar font bold italic "
                           "underline outline inspect openmedia openaudio medialink audiolink controls loop "
                           "fullscreen play pause mute dlmedia dlaudio emoji plain");
  std::map<std::string, PageMenuAction> codes = {{"custom", PageMenuAction::Custom}};
  for (std::string word; order >> word;) codes.emplace(word, static_cast<PageMenuAction>(static_cast<int>(codes.size()) - 2));
  // Each row: the link clicked (if any), the inspector on or not, what WebKit offers
  // there, and the menu shown (a new item as [its label]; nothing: no menu).
  const struct { const char* link; bool inspector; const char* offered; const char* shown; } rows[] = {
      {"", false, "back fwd stop reload", ""},                                     // an empty spot
      {"", false, "back fwd stop reload frame", ""},                               // ... in an iframe
      {"", true, "back fwd stop reload | inspect", "inspect"},
      {"", false, "copy", "copy"},                                                 // selected text
      {"http://127.0.0.1:3789/notes", false, "open newwin dl copylink", "[Open Link] copylink"},
      {"https://example.com/50%", true, "open newwin dl copylink | openimg dlimg copyimg imgurl | inspect",
       "[Open Link in Browser] copylink | copyimg | inspect"},                     // a foreign image link
      {"mailto:a@example.com", false, "copylink", "[Open Link] copylink"},        // its own program
      {"http://127.0.0.1:3789/x", false, "", "[Open Link]"},                       // nothing offered
      {"", false, "guess guess | ignore learn | cut copy paste plain delete | all | emoji",
       "guess guess | ignore learn | cut copy paste plain delete | all | emoji"},  // a misspelt word in a field
      {"http://127.0.0.1:3789/", false, "open newwin dl copylink | cut copy paste delete | all",
       "[Open Link] copylink | cut copy paste delete | all"},                      // a link in a field
      {"", false, "play mute controls fullscreen | medialink openmedia dlmedia", "play mute controls fullscreen"},
      {"", false, "| custom copy | | inspect | all |", "copy | all"}};             // the inspector off
  for (const auto& row : rows) {
    std::vector<PageMenuAction> offered;
    std::vector<std::string> names;
    std::istringstream in(row.offered);
    for (std::string word; in >> word;) offered.push_back(codes.at(word)), names.push_back(word);
    PageMenuContext context{*row.link ? OptionalURL(row.link) : std::nullopt, row.inspector};
    std::string shown;
    for (const PageMenuLine& line : pageMenu(context, offered, kServer)) {
      shown += (shown.empty() ? "" : " ") + (line.offered >= 0 ? names[line.offered] : "[" + line.label + "]");
    }
    EXPECT_EQ(shown, row.shown) << row.offered;
  }
}

// Saves a download of `name` in `folder` as WebKit does (into TEMPORARY.wkdownload, then moved onto the
// temporary), moved into place by `rename`: the name it got, or why not.
std::string save(const std::string& folder, const std::string& name, Renamer rename) {
  auto temporary = makeDownloadTemporary(folder, name);
  if (temporary && !(std::ofstream(temporary.value() + ".wkdownload") << "data")) return "too long";
  if (temporary) fs::rename(temporary.value() + ".wkdownload", temporary.value());
  auto placed = temporary ? moveDownloadIntoPlace(temporary.value(), folder, name, rename) : temporary.error();
  return placed ? placed.value().name : placed.error().message();
}

TEST(DownloadName, SafeNumberedNamesThatFitAndNeverReplaceAFile) {
  auto times = [](int n, std::string_view text) { std::string all; while (n--) all += text; return all; };
  const std::string a231(231, 'a'), a170(170, 'a'), e60(60, 'e'), cjk77 = times(77, "漢"), e113 = times(113, "é");
  // Each row: a suggested name, and the names of the first and the third download
  // saved under it. Long names are cut on a character boundary, keeping the
  // extension, to what fits beside the temporary's and WebKit's additions.
  const struct { std::string suggested, first, third; } rows[] = {
      {"report.csv", "report.csv", "report (2).csv"}, {"archive.tar.gz", "archive.tar.gz", "archive.tar (2).gz"},
      {"../../.bashrc", "bashrc", "bashrc (2)"}, {"", "download", "download (2)"}, {"...", "download", "download (2)"},
      {"a/b\x01.txt", "b.txt", "b (2).txt"}, {a231 + "aaaa", a231, a231 + " (2)"},
      {cjk77 + "漢漢漢", cjk77, cjk77 + " (2)"}, {a231 + ".txt", a231.substr(4) + ".txt", a231.substr(4) + " (2).txt"},
      {a231 + "." + e60, a170 + "." + e60, a170 + " (2)." + e60}, {"漢." + e113 + "éééé", "漢." + e113, "漢 (2)." + e113}};
  // By renameat2; as where it cannot promise not to replace (NFS: EINVAL); again; refused.
  const Renamer moves[] = {renameWithoutReplacing, [](auto...) { return errno = EINVAL, -1; }, renameWithoutReplacing,
                           [](auto...) { return errno = EACCES, -1; }};
  for (const auto& row : rows) {
    test::TempDir dir;
    std::string saved;  // then how many files the folder holds: none replaced, no temporary left
    for (Renamer rename : moves) saved += save(dir.path(), safeDownloadName(row.suggested), rename) + "|";
    EXPECT_EQ(saved + std::to_string(std::distance(fs::directory_iterator(dir.path()), {})),
              row.first + "|" + numberedName(row.first, 1) + "|" + row.third + "|Permission denied|3");
  }
}

TEST(DownloadName, OnlyTheTemporariesOfDownloadsCutShortAreRemoved) {
  test::TempDir dir;
  // Real temporaries go (one not UTF-8); near misses stay, and so does a link named
  // like one (to a near miss; written through below, it stays a link).
  std::set<std::string> stays = {"r.csv.a1B2c3.part", ".r.a1B2c.part", ".r.a1B2c3d.part", ".r.a1B2c_.part", ".r.a1B2c3.PART",
                                 ".r.a1B2c3.part\n", ".r.a1B2c3.part.txt", ".r.a1B2c3.wkdownload", ".r.a1B2c3.part.wkdownload~", "..a1B2c3.part", ".l.a1B2c3.part"};
  fs::create_symlink("r.csv.a1B2c3.part", dir.path() + "/.l.a1B2c3.part");
  for (const std::string& name : stays) test::writeFile(dir.path() + "/" + name, "");
  for (const char* name : {"report.csv", "漢\xff"})  // with what WebKit writes before its move
    test::writeFile(makeDownloadTemporary(dir.path(), name).value() + ".wkdownload", "half");
  removeLeftoverDownloads(dir.path());
  for (const auto& entry : fs::directory_iterator(dir.path())) EXPECT_EQ(stays.erase(entry.path().filename()), 1u);
  EXPECT_TRUE(stays.empty());
}

TEST(NotificationText, ThePagesBodyIsEscapedOnlyForServersThatReadMarkup) {
  for (auto [capabilities, sent] : {std::pair{"(['body', 'body-markup'],)", "a &amp; &lt;b&gt;"}, {"(['body'],)", "a & <b>"},
                                    {"('body-markup',)", "a & <b>"}, {"", "a & <b>"}})  // not an answer, or none
    EXPECT_EQ(notificationBody("a & <b>", VariantPtr(g_variant_parse(nullptr, capabilities, nullptr, nullptr, nullptr)).get()), sent);
  using K = ServerSignal::Kind;  // the server's signals: of another shape or name, nothing read
  const struct { const char* name; const char* parameters; ServerSignal read; } signals[] = {
      {"ActionInvoked", "(uint32 7, 'default')", {K::Action, 7, "default"}}, {"ActivationToken", "(uint32 7, 't')", {K::ActivationToken, 7, "t"}},
      {"NotificationClosed", "(uint32 7, uint32 2)", {K::Closed, 7}}, {"NotificationClosed", "(uint32 7, 'default')", {}},
      {"ActionInvoked", "(7, 'default')", {}}, {"Closed", "(uint32 7, uint32 2)", {}}};
  for (const auto& row : signals)
    EXPECT_EQ(readServerSignal(row.name, VariantPtr(g_variant_parse(nullptr, row.parameters, nullptr, nullptr, nullptr)).get()), row.read)
        << row.name << row.parameters;
}

TEST(ZoomLevels, SteppingClampingAndPinching) {
  // From each zoom: Zoom In, Zoom Out, the zoom applied (a millionth from a level counts as at it).
  const struct { double current, in, out, clamped; } rows[] = {
      {1.0, 1.1, 0.9, 1.0}, {1.0000004, 1.1, 0.9, 1.0000004}, {0.9999995, 1.1, 0.9, 0.9999995},
      {1.03, 1.1, 1.0, 1.03}, {3.0, 3.0, 2.5, 3.0}, {0.5, 0.67, 0.5, 0.5}, {3.5, 3.0, 3.0, 3.0}, {0.1, 0.5, 0.5, 0.5}};
  for (const auto& row : rows)
    EXPECT_EQ(std::tuple(zoomInFrom(row.current), zoomOutFrom(row.current), clampZoom(row.current)),
              std::tuple(row.in, row.out, std::optional(row.clamped))) << row.current;
  std::vector<double> visited{0.5};
  for (int i = 0; i < 12; ++i) visited.push_back(zoomInFrom(visited.back()));
  EXPECT_EQ(visited, (std::vector<double>{0.5, 0.67, 0.8, 0.9, 1.0, 1.1, 1.25, 1.5, 1.75, 2.0, 2.5, 3.0, 3.0}));
  EXPECT_FALSE(clampZoom(NAN) || clampZoom(INFINITY));
  EXPECT_DOUBLE_EQ(pinchedZoom(1.0, 1.2, 1.0), 1.2);
  EXPECT_DOUBLE_EQ(pinchedZoom(1.5, 1.2, 1.2), 1.5) << "only the change since the last message counts";
  // Wheel deltas in a row, and the notches each one makes.
  const struct { std::vector<double> deltas, notches; } wheel[] = {
      {{-1, 1, 1}, {-1, 1, 1}}, {{0.4, 0.4, 0.4, -0.3}, {0, 0, 1, 0}}, {{-2.5, -0.5}, {-2, -1}},
      {{1e300, 1}, {12, 1}}, {{NAN, -1}, {0, -1}}, {{-INFINITY, 0.5}, {0, 0}}};
  for (const auto& row : wheel) {
    double pending = 0;
    for (std::size_t i = 0; i < row.deltas.size(); ++i) EXPECT_EQ(wheelNotches(pending, row.deltas[i]), row.notches[i]) << i;
  }
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
  EXPECT_TRUE(saveZoomFile(path, 1.1).ok());
  EXPECT_EQ(test::readFile(path), "1.1");
  EXPECT_EQ(readZoomFile(path), 1.1);
  test::writeFile(path, "\xff" "1.1");
  EXPECT_FALSE(readZoomFile(path)) << "not UTF-8";
  test::writeFile(dir.path() + "/occupied", "a file where the folder belongs");
  EXPECT_FALSE(saveZoomFile(dir.path() + "/occupied/page-zoom", 2.0).ok());
}

TEST(CursorIdle, ElementFullScreenIsReachedWhenTheWindowSaysSo) {
  // E(lement enters), L(eaves), the window F(ull screen) or N(ot); then each state: n(ot), e(ntering), i(n), x (exiting).
  const struct { const char* events; const char* states; } rows[] = {
      {"ENF", "eei"}, {"EFLN", "eixn"}, {"FE", "ni"}, {"EFN", "ein"}, {"EFLF", "eixx"}, {"EL", "ex"}};
  for (const auto& row : rows) {
    FullScreen state = FullScreen::Not;
    bool full = false;
    std::string states;
    for (const char* c = row.events; *c; ++c) {
      if (*c == 'F' || *c == 'N') full = *c == 'F';
      auto event = *c == 'E' ? FullScreenEvent::ElementEnters : *c == 'L' ? FullScreenEvent::ElementLeaves : FullScreenEvent::WindowChanged;
      state = nextFullScreen(state, event, full);
      states += "neix"[static_cast<int>(state)];
    }
    EXPECT_EQ(states, row.states) << row.events;
  }
}

TEST(CursorIdle, HiddenAfterRestingInElementFullScreenWhileActive) {
  // One sample every half second: "m" the pointer moved, "r" it rested, "b" it went
  // away and came back in between; capitals while an element is in full screen, "~"
  // before a sample while the window is not active. The samples that hide it.
  const struct { const char* samples; std::vector<int> hides; } rows[] = {
      {"RRRRRRRR", {5}}, {"rrrrrrrr", {}}, {"R~R~R~R~R~R~R~R", {}}, {"rrrrrrrrrrrrrrrrrrrrRR", {21}},
      {"RRRRRRMRRRRRRRR", {5, 12}}, {"RRRRRRBRRRRRR", {5, 12}}, {"RRRRRRMRRR", {5}}, {"RRBRRRRRR", {8}}};
  for (const auto& row : rows) {
    CursorIdle idle({0, 0}, 0);
    Point at;
    std::vector<int> hides;
    int sample = 0;
    for (const char* c = row.samples; *c; ++c) {
      if (*c == '~') continue;
      const bool active = c == row.samples || c[-1] != '~';
      if (std::tolower(*c) == 'm') at.x += 1;
      if (std::tolower(*c) == 'b') idle.moved((sample + 0.5) * CursorIdle::tickInterval);
      if (idle.tick(at, ++sample * CursorIdle::tickInterval, std::isupper(*c), active)) hides.push_back(sample);
    }
    EXPECT_EQ(hides, row.hides) << row.samples;
  }
}

}  // namespace
}  // namespace quorvel
