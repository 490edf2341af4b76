// The appcast parser, version order and feed address rule, as tables.

#include "update/update_feed.h"

#include <gtest/gtest.h>

namespace quorvel {
namespace {

std::string feed(const std::string& items, const std::string& prefix = "sparkle",
                 const std::string& head = "<?xml version=\"1.0\"?>") {
  return head + "<rss version=\"2.0\" xmlns:" + prefix + "=\"http://www.andymatuschak.org/xml-namespaces/sparkle\">" +
         "<channel>" + items + "</channel></rss>";
}

// "version|short|url|title" per item, or the error.
std::string summary(const Result<std::vector<FeedItem>>& result) {
  if (!result.ok()) return result.error().message();
  std::string out;
  for (const auto& i : result.value()) out += i.version + "|" + i.shortVersion + "|" + i.downloadURL + "|" + i.title;
  return out;
}

TEST(ParseAppcast, ReadsItemsAndRefusesWhatIsNotAnAppcast) {
  const std::string notXml = "The update feed is not a valid appcast (not XML).";
  const std::string none = "The update feed lists no versions.";
  const std::string v1 = "<sparkle:version>1</sparkle:version>", v8 = "<sparkle:version>8</sparkle:version>";
  const std::string padded = feed("<item><sparkle:version>7</sparkle:version></item>");
  std::string deep, bomb = "<!DOCTYPE rss [<!ENTITY a0 'lol'>";
  for (int i = 0; i < 100000; ++i) deep += "<a>";
  // Nine levels of four references each: expanded, a title of 4^9 "lol"s.
  for (int i = 1; i < 10; ++i) {
    const std::string ref = "&a" + std::to_string(i - 1) + ";";
    bomb += "<!ENTITY a" + std::to_string(i) + " '" + ref + ref + ref + ref + "'>";
  }
  const struct { std::string body, expected; } rows[] = {
      // enclosure attributes; the link only without an enclosure url
      {feed("<item><title> Two </title><link>L</link><enclosure url='https://x/2.zip' sparkle:version='200' "
            "sparkle:shortVersionString='2.0'/></item>"), "200|2.0|https://x/2.zip|Two"},
      {feed("<item><sparkle:version>\n 3 \t</sparkle:version><sparkle:shortVersionString>3.0"
            "</sparkle:shortVersionString><link> https://x/3 </link></item>"), "3|3.0|https://x/3|"},
      // the enclosure attribute beats the child element, unless it is empty
      {feed("<item><enclosure sparkle:version='5'/><sparkle:version>4</sparkle:version></item>"), "5|||"},
      {feed("<item><enclosure sparkle:version=' '/><sparkle:version>4</sparkle:version></item>"), "4|||"},
      {feed("<item><enclosure s:version='6'/></item>", "s"), "6|||"},  // any prefix for the namespace
      // un-namespaced version, foreign items and versionless items are skipped
      {feed("<item><enclosure version='9'/></item><x:item xmlns:x='urn:x'>" + v8 + "</x:item><item>" + v1 + "</item>"),
       "1|||"},
      {feed("<item><title><![CDATA[<b>]]></title><enclosure url='https://x/?a=1&amp;b=2' sparkle:version='1'/></item>"),
       "1||https://x/?a=1&b=2|<b>"},
      {feed("<item>" + v1 + "</item></channel><channel><item>" + v8 + "</item>"), "1|||"},  // only the first channel
      // external entities are not loaded, internal ones not expanded, predefined ones are
      {feed("<item><title>&x;</title>" + v1 + "</item>", "sparkle",
            "<!DOCTYPE rss [<!ENTITY x SYSTEM 'file:///etc/passwd'>]>"), "1|||"},
      {feed("<item><title>x&e;y &lt;</title><enclosure url='u&e;' sparkle:version='1'/></item>", "sparkle",
            "<!DOCTYPE rss [<!ENTITY e 'EXP'>]>"), "1||u|xy <"},
      {padded + std::string(kMaxFeedBytes - padded.size(), ' '), "7|||"},  // exactly the limit
      {std::string(kMaxFeedBytes + 1, ' '), "The update feed is too large to be an appcast."},
      {feed("<item><title>&a9;</title>" + v1 + "</item>", "sparkle", bomb + "]>"), notXml}, {deep, notXml},
      {"", notXml}, {"version 2.0", notXml}, {feed("<item>").substr(0, 60), notXml},
      {feed("<item><title>\xFF\xFE</title></item>"), notXml}, {"<html><channel/></html>", none}, {feed(""), none},
      {feed("<item><title>t</title></item>"), none},
      {"<rss xmlns=\"urn:x\"" + padded.substr(std::string("<?xml version=\"1.0\"?><rss").size()), none}};
  for (const auto& row : rows) EXPECT_EQ(summary(parseAppcast(row.body)), row.expected) << row.body.substr(0, 200);
}

TEST(CompareVersions, OrdersLikeSparkleAndIsAntisymmetric) {
  const struct { const char *a, *b; int expected; } rows[] = {
      {"1.10", "1.9", 1}, {"1.0", "1.0.0", 0}, {"1.0.1", "1.0", 1}, {"2", "1.9.9", 1}, {"1.0b1", "1.0", -1},
      {"1.0a", "1.0b", -1}, {"1.0b", "1.0", -1}, {"1.0b2", "1.0b1", 1}, {"1.0.1", "1.0b1", 1},
      {"1.0000000000000000000000001", "1.1", 0}, {"1.99999999999999999999999", "1.99999999999999999999998", 1},
      {"100000000000000000000000", "99999999999999999999999", 1}, {"1_2+3 4-5", "1.2.3.4.5", 0}, {"", "0", 0},
      {".-_+ ", "", 0}, {"1.0\xCE\xB2", "1.0", -1}};
  for (const auto& row : rows) {
    EXPECT_EQ(compareVersions(row.a, row.b), row.expected) << row.a << " vs " << row.b;
    EXPECT_EQ(compareVersions(row.b, row.a), -row.expected) << row.b << " vs " << row.a;
  }
  EXPECT_FALSE(newestItem({}).has_value());
  auto newest = newestItem({{"1.9", "", "", "a"}, {"1.10", "", "", "b"}, {"1.10.0", "", "", "c"}, {"1.10b", "", "", "d"}});
  EXPECT_EQ(newest->title, "b") << "the greatest version, the first among equals";
}

TEST(CheckFeedURL, HttpsAnywhereHttpOnlyToLoopback) {
  const std::string https = "The update feed must be fetched over https.";
  const std::string invalid = "The update feed address is not a valid URL.";
  const struct { const char* url; std::string error; } rows[] = {
      {"https://example.com/appcast.xml", ""}, {"http://127.0.0.1:3000/feed", ""}, {"http://127.255.255.254/", ""},
      {"http://[::1]:8080/", ""}, {"http://LocalHost/appcast", ""}, {"http://example.com/a", https},
      {"http://128.0.0.1/", https}, {"http://127.0.0.1@evil.example/", https},
      {"http://localhost.evil.example/", https}, {"file:///etc/passwd", https}, {"", invalid},
      {"example.com/appcast.xml", invalid}, {"https:///appcast.xml", invalid}, {"http://[::1/", invalid}};
  for (const auto& row : rows) {
    auto checked = checkFeedURL(row.url);
    EXPECT_EQ(checked.ok() ? checked.value() : checked.error().message(), row.error.empty() ? row.url : row.error);
  }

}

std::string deb(const std::string& prefix = "s") {
  return " type=' application/vnd.debian.binary-package' " + prefix + ":os='linux'";
}

FeedItem item(const std::string& enclosures) {
  return parseAppcast(feed("<item xmlns:q='https://quorvel.app/xml-namespaces/appcast'><s:version>2</s:version>" +
                           enclosures + "</item>", "s")).value().at(0);
}

TEST(ChooseEnclosure, TheDebianPackageForThisReleaseElseOneForEveryReleaseElseNoUpdate) {
  const std::string both = "<enclosure url='any'" + deb() + "/><enclosure url='d13'" + deb() + " q:release='debian-13'/>";
  const struct { std::string enclosures, release, url; } rows[] = {
      {both, "debian-13", "d13"}, {both, "debian-12", "any"}, {both, "", "any"},  // named wins, wherever it stands
      {"<enclosure url='d13'" + deb() + " q:release='debian-13'/>", "debian-12", "-"},
      {"<enclosure url='rpm' type='application/x-rpm' s:os='linux'/>", "debian-12", "-"},
      {"<enclosure url='mac' type='application/vnd.debian.binary-package' s:os='macos'/>", "debian-12", "-"},
      {"<enclosure url='no-os' type='application/vnd.debian.binary-package'/>", "debian-12", "-"},
      {"<enclosure url='a'" + deb() + "/><enclosure url='b'" + deb() + "/>", "debian-12", "a"},  // the first of each
      // a release attribute outside our namespace names no release
      {"<enclosure url='plain'" + deb() + " release='debian-13'/>", "debian-12", "plain"}};
  for (const auto& row : rows) {
    auto chosen = chooseEnclosure(item(row.enclosures), row.release);
    EXPECT_EQ(chosen ? chosen->url : "-", row.url) << row.enclosures << " on " << row.release;
  }
  auto all = item("<enclosure url=' https://x/q.deb ' length='12' s:edSignature='c2ln' q:release='d-1'" + deb() + "/>");
  EXPECT_EQ(all.enclosures, (std::vector<Enclosure>{{"https://x/q.deb", "12", kDebianPackageType, "linux", "d-1", "c2ln"}}));

  // The newest item with a package for this system is the update; one without is none.
  const std::string body = feed("<item><sparkle:version>3</sparkle:version><enclosure url='rpm' type='x'/></item>"
                                "<item><sparkle:version>2.0b1</sparkle:version><enclosure url='u'" +
                                deb("sparkle") +
                                "/></item><item><sparkle:version>1.9</sparkle:version></item>");
  for (const auto& [current, newer] : {std::pair{"1.9", true}, {"2.0", false}, {"2.0b1", false}}) {
    auto verdict = judgeFeed(current, body, "debian-12").value();
    EXPECT_EQ(verdict.kind == UpdateVerdict::Kind::UpdateAvailable, newer) << current;
    EXPECT_EQ(verdict.newest.version + verdict.enclosure.url, "2.0b1u");
  }
  EXPECT_EQ(judgeFeed("1", feed("<item><sparkle:version>3</sparkle:version></item>"), "").value().kind,
            UpdateVerdict::Kind::UpToDate);
  EXPECT_EQ(judgeFeed("1", "<rss>", "").error().message(), "The update feed is not a valid appcast (not XML).");
}

TEST(ReleaseFromOsRelease, IdDashVersionIdWithShellQuoting) {
  const struct { const char *text, *release; } rows[] = {
      {"PRETTY_NAME=\"Debian GNU/Linux 12\"\nID=debian\nVERSION_ID=\"12\"\n", "debian-12"},
      {"VERSION_ID='13'\r\nID=debian\r\n", "debian-13"}, {"ID=arch\n", "arch"}, {"#ID=x\nID=fedora\nVERSION_ID=40", "fedora-40"},
      {"VERSION_ID=12\n", ""}, {"ID=\"debian\nVERSION_ID=12", ""}, {"", ""}};
  for (const auto& row : rows) EXPECT_EQ(releaseFromOsRelease(row.text), row.release) << row.text;
}

}  // namespace
}  // namespace quorvel
