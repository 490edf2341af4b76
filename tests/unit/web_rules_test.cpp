// Which pages stay in the window, and the names downloads are saved under.

#include <gtest/gtest.h>

#include "web/download_name.h"
#include "web/navigation_rules.h"

namespace quorvel {
namespace {

TEST(NavigationRules, LocalPagesStayForeignOnesGoToTheDesktop) {
  const LocalOrigin origin = originOf("http://127.0.0.1:3789/", 3789);
  // Each row: the URL (empty for none), then what the main frame, a sub-frame's
  // response and a new-window request do with it: L(oad), D(esktop), N(othing).
  const struct { const char* url; const char* outcome; } rows[] = {
      {"", "LLN"}, {"http://127.0.0.1:3789/", "LLL"}, {"http://127.0.0.1:3789/notes/1?x=1#top", "LLL"},
      {"https://127.0.0.1:3789/", "LLL"},  // the scheme is not compared
      {"http://127.0.0.1:3790/", "DLD"}, {"http://127.0.0.1/", "DLD"}, {"http://localhost:3789/", "DLD"},
      {"https://example.com/", "DLD"}, {"about:blank", "LLL"}, {"data:text/html,hi", "LLL"},
      {"mailto:someone@example.com", "DDD"}, {"file:///etc/hosts", "DLD"},
      {"blob:http://127.0.0.1:3789/0b1c", "DLD"}, {"not a url", "DDD"},
  };
  for (const auto& row : rows) {
    OptionalURL url = *row.url ? OptionalURL(row.url) : std::nullopt;
    std::string outcome;
    // The main frame: the action, then (for what WebKit loads itself) the response.
    bool stays = decideNavigationAction(url, origin) == Navigation::Allow &&
                 (!url || decideResponse(*url, true, origin) == Navigation::Allow);
    outcome += stays ? "L" : "D";
    bool framed = decideNavigationAction(url, origin) == Navigation::Allow &&
                  (!url || decideResponse(*url, false, origin) == Navigation::Allow);
    outcome += framed ? "L" : "D";
    outcome += "NLD"[static_cast<int>(decideNewWindow(url, origin))];
    EXPECT_EQ(outcome, row.outcome) << row.url;
  }
  EXPECT_FALSE(isLocal("http://127.0.0.1:3789/", originOf("http://127.0.0.1:3789/", 4000))) << "the given port counts";
}

TEST(DownloadName, SafeAndNumberedNames) {
  const struct { const char* suggested; const char* first; const char* third; } rows[] = {
      {"report.csv", "report.csv", "report (2).csv"}, {"archive.tar.gz", "archive.tar.gz", "archive.tar (2).gz"},
      {"README", "README", "README (2)"}, {"../../.bashrc", "bashrc", "bashrc (2)"}, {"a/b\x01.txt", "b.txt", "b (2).txt"},
      {"", "download", "download (2)"}, {"...", "download", "download (2)"},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(numberedName(safeDownloadName(row.suggested), 0), row.first) << row.suggested;
    EXPECT_EQ(numberedName(safeDownloadName(row.suggested), 2), row.third) << row.suggested;
  }
}

}  // namespace
}  // namespace quorvel
