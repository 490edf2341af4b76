#include "web/update_feed.h"

#include <gtest/gtest.h>

#include <chrono>
#include <random>

namespace quorvel {
namespace {

const std::string kNoVersions = "The update feed lists no versions.";
const std::string kNotXml = "The update feed is not a valid appcast (not XML).";
const std::string kHttps = "The update feed must be fetched over https.";
const std::string kBadURL = "The update feed address is not a valid URL.";

std::string feed(const std::string& items, const std::string& prefix = "sparkle",
                 const std::string& head = "<?xml version=\"1.0\"?>") {
  return head + "<rss version=\"2.0\" xmlns:" + prefix +
         "=\"http://www.andymatuschak.org/xml-namespaces/sparkle\"><channel>" + items +
         "</channel></rss>";
}

// An empty `error` means the row expects success, checked by `check`.
template <typename T, typename Check>
void expectOutcome(const char* edge, const Result<T>& result, const std::string& error,
                   Check check) {
  if (error.empty()) {
    ASSERT_TRUE(result.ok()) << edge << ": " << result.error().message();
    check(result.value());
  } else {
    ASSERT_FALSE(result.ok()) << edge;
    EXPECT_EQ(result.error().message(), error) << edge;
  }
}

struct ParseRow {
  const char* edge;
  std::string body;
  std::vector<FeedItem> items;  // expected when error is empty
  std::string error;
};

TEST(ParseAppcast, ReadsItemsAndRefusesWhatIsNotAnAppcast) {
  const std::string padded = feed("<item><sparkle:version>7</sparkle:version></item>");
  const std::vector<ParseRow> rows = {
      {"enclosure attributes, link ignored when url present",
       feed("<item><title> Two </title><link>L</link><enclosure url=\"https://x/2.zip\" "
            "sparkle:version=\"200\" sparkle:shortVersionString=\"2.0\"/></item>"),
       {{"200", "2.0", "https://x/2.zip", "Two"}}, ""},
      {"child elements, link as fallback, whitespace trimmed",
       feed("<item><sparkle:version>\n 3 \t</sparkle:version><sparkle:shortVersionString>"
            "3.0</sparkle:shortVersionString><link> https://x/3 </link></item>"),
       {{"3", "3.0", "https://x/3", ""}}, ""},
      {"enclosure attribute beats child element",
       feed("<item><enclosure sparkle:version=\"5\"/><sparkle:version>4</sparkle:version></item>"),
       {{"5", "", "", ""}}, ""},
      {"empty enclosure attribute falls back to child element",
       feed("<item><enclosure sparkle:version=\" \"/><sparkle:version>4</sparkle:version></item>"),
       {{"4", "", "", ""}}, ""},
      {"any prefix bound to the sparkle namespace",
       feed("<item><enclosure s:version=\"6\"/></item>", "s"), {{"6", "", "", ""}}, ""},
      {"un-namespaced version attribute and foreign items ignored; versionless item skipped",
       feed("<item><enclosure version=\"9\"/></item><x:item xmlns:x=\"urn:x\"><sparkle:version>8"
            "</sparkle:version></x:item><item><sparkle:version>1</sparkle:version></item>"),
       {{"1", "", "", ""}}, ""},
      {"CDATA title and &amp; in url decoded",
       feed("<item><title><![CDATA[<b>]]></title><enclosure url=\"https://x/?a=1&amp;b=2\" "
            "sparkle:version=\"1\"/></item>"),
       {{"1", "", "https://x/?a=1&b=2", "<b>"}}, ""},
      {"only the first channel counts",
       feed("<item><sparkle:version>1</sparkle:version></item></channel><channel><item>"
            "<sparkle:version>2</sparkle:version></item>"),
       {{"1", "", "", ""}}, ""},
      {"external entity is not loaded",
       feed("<item><title>&x;</title><sparkle:version>1</sparkle:version></item>", "sparkle",
            "<!DOCTYPE rss [<!ENTITY x SYSTEM \"file:///etc/passwd\">]>"),
       {{"1", "", "", ""}}, ""},
      {"internal entities are not expanded, predefined ones are",
       feed("<item><title>x&e;y &lt;</title><enclosure url=\"u&e;\" sparkle:version=\"1\"/>"
            "</item>", "sparkle", "<!DOCTYPE rss [<!ENTITY e \"EXP\">]>"),
       {{"1", "", "u", "xy <"}}, ""},
      {"declared Latin-1 is converted to UTF-8",
       feed("<item><title>caf\xE9</title><sparkle:version>1</sparkle:version></item>", "sparkle",
            "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>"),
       {{"1", "", "", "caf\xC3\xA9"}}, ""},
      {"exactly the size limit is accepted",
       padded + std::string(kMaxFeedBytes - padded.size(), ' '), {{"7", "", "", ""}}, ""},
      {"one byte over the limit", std::string(kMaxFeedBytes + 1, ' '), {},
       "The update feed is too large to be an appcast."},
      {"empty body", "", {}, kNotXml},
      {"plain text", "version 2.0", {}, kNotXml},
      {"truncated document", feed("<item>").substr(0, 60), {}, kNotXml},
      {"invalid UTF-8", feed("<item><title>\xFF\xFE</title></item>"), {}, kNotXml},
      {"XML but not rss", "<html><channel/></html>", {}, kNoVersions},
      {"rss in a default namespace is not RSS 2.0",
       "<rss xmlns=\"urn:x\"><channel><item><title>t</title></item></channel></rss>", {},
       kNoVersions},
      {"channel without items", feed(""), {}, kNoVersions},
      {"items without any version", feed("<item><title>t</title></item>"), {}, kNoVersions},
  };
  for (const auto& row : rows) {
    expectOutcome(row.edge, parseAppcast(row.body), row.error,
                  [&](const auto& items) { EXPECT_EQ(items, row.items) << row.edge; });
  }
}

TEST(ParseAppcast, HostileInputEndsQuicklyWithErrorOrValue) {
  std::string laughs = "<?xml version=\"1.0\"?><!DOCTYPE rss [<!ENTITY a0 \"lol\">";
  for (int i = 1; i < 10; ++i) {
    laughs += "<!ENTITY a" + std::to_string(i) + " \"" + std::string("&a") +
              std::to_string(i - 1) + ";" + "&a" + std::to_string(i - 1) + ";" + "&a" +
              std::to_string(i - 1) + ";" + "&a" + std::to_string(i - 1) + ";\">";
  }
  laughs += "]>" + feed("<item><title>&a9;</title><sparkle:version>1</sparkle:version></item>",
                        "sparkle", "");
  std::string deep;
  for (int i = 0; i < 100000; ++i) deep += "<a>";

  const std::string good = feed("<item><title>t</title><enclosure url=\"u\" "
                                "sparkle:version=\"1.0\"/></item>");
  std::vector<std::string> bodies = {laughs, deep};  // entity bomb; nesting past any limit
  for (std::size_t n = 0; n < good.size(); ++n) bodies.push_back(good.substr(0, n));
  std::mt19937 rng(20240601);
  for (int i = 0; i < 300; ++i) {  // random bytes, and valid feeds with bytes flipped
    std::string s = i % 2 ? good : std::string(rng() % 400, '\0');
    for (char& c : s) {
      if (i % 2 == 0 || rng() % 40 == 0) c = static_cast<char>(rng());
    }
    bodies.push_back(s);
  }
  const auto start = std::chrono::steady_clock::now();
  for (const auto& body : bodies) {
    auto result = parseAppcast(body);
    if (result.ok()) {
      for (const auto& item : result.value()) EXPECT_FALSE(item.version.empty());
      for (const auto& item : result.value()) EXPECT_LT(item.title.size(), 100u);
    } else {
      EXPECT_TRUE(result.error().message() == kNotXml ||
                  result.error().message() == kNoVersions);
    }
  }
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
}

TEST(CompareVersions, OrdersLikeSparkleAndIsAntisymmetric) {
  struct Row { const char* edge; const char* a; const char* b; int expected; };
  const std::vector<Row> rows = {
      {"numeric not textual", "1.10", "1.9", 1},
      {"missing parts are zero", "1.0", "1.0.0", 0},
      {"extra non-zero part is newer", "1.0.1", "1.0", 1},
      {"shorter major wins by value", "2", "1.9.9", 1},
      {"trailing letters mark a pre-release", "1.0b1", "1.0", -1},
      {"pre-release letters compare as text", "1.0a", "1.0b", -1},
      {"bare pre-release below release", "1.0b", "1.0", -1},
      {"pre-release number", "1.0b2", "1.0b1", 1},
      {"release series beats pre-release", "1.0.1", "1.0b1", 1},
      {"leading zeros ignored", "1.0000000000000000000000001", "1.1", 0},
      {"digits beyond 64 bits", "1.99999999999999999999999", "1.99999999999999999999998", 1},
      {"longer number after zero strip", "100000000000000000000000", "99999999999999999999999", 1},
      {"all separator kinds are boundaries", "1_2+3 4-5", "1.2.3.4.5", 0},
      {"empty equals zero", "", "0", 0},
      {"only separators equals empty", ".-_+ ", "", 0},
      {"non-ASCII letters are a letter run", "1.0\xCE\xB2", "1.0", -1},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(compareVersions(row.a, row.b), row.expected) << row.edge;
    EXPECT_EQ(compareVersions(row.b, row.a), -row.expected) << row.edge << " (reversed)";
  }
}

TEST(NewestItem, GreatestVersionFirstAmongEquals) {
  EXPECT_FALSE(newestItem({}).has_value());
  auto newest = newestItem({{"1.9", "", "", "a"}, {"1.10", "", "", "b"}, {"1.10.0", "", "", "c"},
                            {"1.10b", "", "", "d"}});
  ASSERT_TRUE(newest.has_value());
  EXPECT_EQ(newest->title, "b");
}

TEST(CheckFeedURL, HttpsAnywhereHttpOnlyToLoopback) {
  struct Row { const char* edge; const char* url; std::string error; };
  const std::vector<Row> rows = {
      {"https", "https://example.com/appcast.xml", ""},
      {"IPv4 loopback with port", "http://127.0.0.1:3000/feed", ""},
      {"all of 127/8", "http://127.255.255.254/", ""},
      {"IPv6 loopback", "http://[::1]:8080/", ""},
      {"localhost any case", "http://LocalHost/appcast", ""},
      {"http elsewhere", "http://example.com/a", kHttps},
      {"just outside 127/8", "http://128.0.0.1/", kHttps},
      {"loopback as userinfo", "http://127.0.0.1@evil.example/", kHttps},
      {"localhost as a label", "http://localhost.evil.example/", kHttps},
      {"other scheme", "file:///etc/passwd", kHttps},
      {"empty", "", kBadURL},
      {"relative", "example.com/appcast.xml", kBadURL},
      {"no host", "https:///appcast.xml", kBadURL},
      {"broken IPv6 literal", "http://[::1/", kBadURL},
  };
  for (const auto& row : rows) {
    expectOutcome(row.edge, checkFeedURL(row.url), row.error,
                  [&](const std::string& url) { EXPECT_EQ(url, row.url) << row.edge; });
  }
}

TEST(JudgeFeed, ComparesNewestItemWithThisCopy) {
  const std::string body = feed("<item><sparkle:version>2.0b1</sparkle:version></item>"
                                "<item><sparkle:version>1.9</sparkle:version></item>");
  using Kind = UpdateVerdict::Kind;
  struct Row { const char* edge; const char* current; Kind kind; };
  const std::vector<Row> rows = {
      {"older copy", "1.9", Kind::UpdateAvailable},
      {"release beats the feed's pre-release", "2.0", Kind::UpToDate},
      {"same version", "2.0b1", Kind::UpToDate},
      {"newer copy", "3", Kind::UpToDate},
  };
  for (const auto& row : rows) {
    auto verdict = judgeFeed(row.current, body);
    ASSERT_TRUE(verdict.ok()) << row.edge;
    EXPECT_EQ(verdict.value().kind, row.kind) << row.edge;
    EXPECT_EQ(verdict.value().newest.version, "2.0b1") << row.edge;
  }
  EXPECT_EQ(judgeFeed("1", "<rss>").error().message(), kNotXml);
}

}  // namespace
}  // namespace quorvel
