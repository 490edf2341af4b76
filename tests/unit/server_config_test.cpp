// What the server is started with: token, secret key base, environment, command
// line, and the small files read on the way.

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <regex>

#include "base/text_file.h"
#include "launch/launch_token.h"
#include "server/process_config.h"
#include "server/secret_key_base.h"
#include "server/stale_cleanup.h"
#include "test_support.h"

namespace quorvel {
namespace {

bool isHex(const std::string& value, int digits) {
  return std::regex_match(value, std::regex("[0-9a-f]{" + std::to_string(digits) + "}"));
}

TEST(LaunchToken, FreshHexFromTheRandomSourceInByteOrder) {
  LaunchToken a, b;
  EXPECT_TRUE(isHex(a.value(), 64) && a.value() != b.value());
  LaunchToken fixed([](unsigned char* bytes, std::size_t n) { return std::memset(bytes, 0, n), bytes[0] = 0x0a, bytes[n - 1] = 0xF1; });
  EXPECT_EQ(fixed.value(), "0a" + std::string(60, '0') + "f1");
}

TEST(LaunchTokenDeathTest, AFailingRandomSourceStopsTheProcess) {
  EXPECT_DEATH(LaunchToken([](unsigned char*, std::size_t) { return false; }), "Couldn't make a launch token");
}

TEST(SecretKeyBase, KeptTrimmedOrReplacedWhenUnusableAndNeverAZeroSecret) {
  test::TempDir dir;
  const std::string file = dir.path() + "/secret_key_base";
  auto first = secretKeyBase(dir.path()).value();
  EXPECT_TRUE(isHex(first, 128) && test::readFile(file) == first) << "no line break, nothing else";
  std::filesystem::create_hard_link(file, dir.path() + "/as-created");
  EXPECT_EQ(secretKeyBase(dir.path()).value(), first);
  EXPECT_TRUE(std::filesystem::equivalent(file, dir.path() + "/as-created")) << "a usable file is not rewritten";

  const struct { std::string contents, value; } kept[] = {
      {"abc\n", "abc"}, {" \t\u00a0short value\r\n", "short value"}, {"é-😀", "é-😀"}};
  for (const auto& row : kept) {
    test::writeFile(file, row.contents);
    EXPECT_EQ(secretKeyBase(dir.path()).value(), row.value);
    EXPECT_EQ(test::readFile(file), row.contents) << "a usable file is left unchanged";
  }
  for (const std::string& unusable : {std::string(), std::string(" \n\t\r\n"), std::string("\xff\xfe\x80secret"),
                                      std::string("ab\0cd", 5), std::string(200 * 1024, 'a')}) {
    test::writeFile(file, unusable);
    auto value = secretKeyBase(dir.path()).value();
    EXPECT_TRUE(isHex(value, 128) && test::readFile(file) == value) << unusable.substr(0, 8);
    EXPECT_EQ(std::filesystem::status(file).permissions(), std::filesystem::perms(0600)) << "never readable by others";
  }

  // /proc/self takes no new files, not even from root.
  auto a = secretKeyBase("/proc/self").value();
  EXPECT_TRUE(isHex(a, 128) && secretKeyBase("/proc/self").value() != a);
  EXPECT_TRUE(isHex(secretKeyBase(dir.path() + "/missing").value(), 128) && !test::exists(dir.path() + "/missing"));
  std::filesystem::remove(file);
  auto failed = secretKeyBase(dir.path(), [](unsigned char*, std::size_t) { return false; });
  EXPECT_TRUE(!failed.ok() && test::has(failed.error().message(), "random"));
  EXPECT_FALSE(test::exists(file)) << "never a zero secret";
}

LaunchSettings settings(Environment env) { return computeLaunchSettings(test::inputsWith(std::move(env))).value(); }

TEST(ServerEnvironment, ExactlyTheFourteenVariablesInOrderAndThePercentEncodedDatabaseURL) {
  LaunchToken token;
  auto s = settings({{"HOME", "/Users/u"}, {"USER", "u"}, {"PATH", "/opt/evil"}, {"LD_PRELOAD", "x.so"}});
  const std::string support = "/Users/u/Library/Application Support/Quorvel";
  EnvironmentList expected = {
      {"HOME", "/Users/u"}, {"USER", "u"}, {"PATH", "/A/Resources/ruby/bin:/usr/bin:/bin"}, {"LANG", "en_US.UTF-8"},
      {"RAILS_ENV", "desktop"}, {"SECRET_KEY_BASE", "SECRET"}, {"BUNDLE_GEMFILE", "/A/Resources/app/Gemfile"},
      {"BUNDLE_APP_CONFIG", "/A/Resources/app/.bundle"},
      {"DATABASE_URL", "sqlite3:/Users/u/Library/Application%20Support/Quorvel/quorvel.sqlite3"},
      {"QUORVEL_BACKUPS", support + "/backups"}, {"QUORVEL_KEYCHAIN", "1"}, {"PIDFILE", support + "/server.pid"},
      {"PORT", "3789"}, {"QUORVEL_LAUNCH_TOKEN", token.value()}};
  EXPECT_EQ(serverEnvironment(s, "SECRET", token, "login"), expected);

  auto relocated = serverEnvironment(settings({{"QUORVEL_HOME", "/tmp/q/"}, {"HOME", "/U"}}), "s", token, "login");
  EXPECT_EQ(relocated[0].second + " " + relocated[1].second, "/tmp/q login") << "no USER given: the login name";
  // USER present, even empty, is copied.
  EXPECT_EQ(serverEnvironment(settings({{"USER", ""}}), "s", token, "login")[1].second, "");

  // The semicolon is not kept; UTF-8 bytes in upper-case hex; query and fragment marks go.
  const struct { const char* path; const char* url; } rows[] = {
      {"/a b/db", "sqlite3:/a%20b/db"},         {"/100%/db", "sqlite3:/100%25/db"},
      {"/x;y/db", "sqlite3:/x%3By/db"},         {"/é/db", "sqlite3:/%C3%A9/db"},
      {"/?#[]/db", "sqlite3:/%3F%23%5B%5D/db"}, {"/a:b@c=d/!$&'()*+,-._~", "sqlite3:/a:b@c=d/!$&'()*+,-._~"}};
  for (const auto& row : rows) EXPECT_EQ(databaseURL(row.path), row.url);
}

TEST(SmallFiles, PidFileHoldsOneSignedThirtyTwoBitNumber) {
  const struct { const char* text; std::optional<int> pid; } rows[] = {
      {"1234\n", 1234}, {"  1234  ", 1234}, {"\r\n1234\r\n", 1234}, {"+7", 7}, {"-3", -3}, {"0", 0},
      {"2147483647", 2147483647}, {"2147483648", {}}, {"-2147483649", {}}, {"99999999999999999999999", {}}, {"", {}},
      {" \n\t", {}}, {"abc", {}}, {"12ab", {}}, {"12 34", {}}, {"+-1", {}}, {"0x10", {}}};
  for (const auto& row : rows) EXPECT_EQ(parsePidFile(row.text), row.pid) << row.text;
  EXPECT_EQ(trimWhitespace("\u2028\u00a0 a b \u0085\u3000"), "a b") << "Unicode's white space and line breaks";
}

}  // namespace
}  // namespace quorvel
