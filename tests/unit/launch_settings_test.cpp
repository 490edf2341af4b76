#include "app/launch_settings.h"

#include <gtest/gtest.h>
#include <glib.h>

#include "app/bundle.h"
#include "test_support.h"

namespace quorvel {
namespace {

LaunchInputs inputs(Environment env = {{"HOME", "/Users/u"}}) {
  LaunchInputs in;
  in.resourcePath = "/A/Resources";
  in.environment = std::move(env);
  in.fallbackHome = "/home/account";
  in.currentDirectory = "/work/cwd";
  return in;
}

struct PortCase {
  InfoValue value;
  std::int64_t port;
  const char* edge;
};

TEST(LaunchSettings, PortComesOnlyFromAStrictDecimalString) {
  const PortCase cases[] = {
      {std::string("4000"), 4000, "plain digits"},
      {std::string("+4000"), 4000, "leading plus"},
      {std::string("0"), 0, "zero is accepted as parsed"},
      {std::string("70000"), 70000, "no range check"},
      {std::string("9223372036854775807"), INT64_MAX, "largest 64-bit value"},
      {std::string(" 4000"), 3789, "leading space"},
      {std::string("4000 "), 3789, "trailing space"},
      {std::string("4000\n"), 3789, "trailing line break"},
      {std::string("40a0"), 3789, "letter inside"},
      {std::string(""), 3789, "empty text"},
      {std::string("+"), 3789, "sign alone"},
      {std::string("+-4000"), 3789, "two signs"},
      {std::string("9223372036854775808"), 3789, "beyond 64 bits"},
      {std::string("٤٠٠٠"), 3789, "non-ASCII digits"},
      {std::int64_t{4000}, 3789, "a number, not a string"},
      {true, 3789, "a boolean"},
  };
  for (const auto& c : cases) {
    LaunchInputs in = inputs();
    in.info["QuorvelPort"] = c.value;
    auto s = computeLaunchSettings(in);
    ASSERT_TRUE(s.ok()) << c.edge;
    EXPECT_EQ(s.value().port, c.port) << c.edge;
    EXPECT_EQ(s.value().baseURL, "http://127.0.0.1:" + std::to_string(c.port) + "/") << c.edge;
  }
  EXPECT_EQ(computeLaunchSettings(inputs()).value().port, 3789) << "no key at all";
}

TEST(LaunchSettings, NegativePortOrMissingResourcesRefuseToStart) {
  LaunchInputs negative = inputs();
  negative.info["QuorvelPort"] = std::string("-5");
  auto s = computeLaunchSettings(negative);
  ASSERT_FALSE(s.ok());
  EXPECT_NE(s.error().message().find("-5"), std::string::npos);

  LaunchInputs noResources = inputs();
  noResources.resourcePath.reset();
  noResources.resourceSearchedAt = "/opt/x/Resources";
  s = computeLaunchSettings(noResources);
  ASSERT_FALSE(s.ok());
  EXPECT_NE(s.error().message().find("/opt/x/Resources"), std::string::npos);
  EXPECT_EQ(s.error().message().back(), '.');
}

TEST(LaunchSettings, ExamplePathsForAPlainHome) {
  auto s = computeLaunchSettings(inputs()).value();
  EXPECT_EQ(s.ruby, "/A/Resources/ruby/bin/ruby");
  EXPECT_EQ(s.appRoot, "/A/Resources/app");
  EXPECT_EQ(s.home, "/Users/u");
  EXPECT_EQ(s.supportDir, "/Users/u/Library/Application Support/Quorvel");
  EXPECT_EQ(s.logDir, "/Users/u/Library/Logs/Quorvel");
  EXPECT_EQ(s.pidFile, "/Users/u/Library/Application Support/Quorvel/server.pid");
  EXPECT_EQ(s.logFile, "/Users/u/Library/Logs/Quorvel/server.log");
  EXPECT_EQ(s.backupDir, "/Users/u/Library/Application Support/Quorvel/backups");
  EXPECT_EQ(s.databaseFile, "/Users/u/Library/Application Support/Quorvel/quorvel.sqlite3");
}

struct HomeCase {
  Environment env;
  const char* home;
  const char* edge;
};

TEST(LaunchSettings, BaseDirectoryChoiceAndPathBuilding) {
  const HomeCase cases[] = {
      {{{"QUORVEL_HOME", "/tmp/q"}, {"HOME", "/Users/u"}}, "/tmp/q", "QUORVEL_HOME beats HOME"},
      {{{"QUORVEL_HOME", "/tmp/q/"}}, "/tmp/q", "trailing separator"},
      {{{"QUORVEL_HOME", "/tmp/q//"}}, "/tmp/q", "doubled trailing separators"},
      {{{"QUORVEL_HOME", "/"}}, "/", "root directory"},
      {{{"QUORVEL_HOME", ""}, {"HOME", "/Users/u"}}, "/work/cwd", "present but empty still wins"},
      {{{"QUORVEL_HOME", "rel/dir"}}, "/work/cwd/rel/dir", "relative to the current directory"},
      {{{"HOME", "/Users/u/"}}, "/Users/u", "HOME with trailing separator"},
      {{}, "/home/account", "neither variable: the account's home"},
  };
  for (const auto& c : cases) {
    auto s = computeLaunchSettings(inputs(c.env)).value();
    EXPECT_EQ(s.home, c.home) << c.edge;
    std::string prefix = std::string(c.home) == "/" ? "" : c.home;
    EXPECT_EQ(s.supportDir, prefix + "/Library/Application Support/Quorvel") << c.edge;
    EXPECT_EQ(s.logDir, prefix + "/Library/Logs/Quorvel") << c.edge;
  }
}

TEST(LaunchSettings, InheritedIsASnapshotOfTheGivenEnvironment) {
  auto s = computeLaunchSettings(inputs({{"HOME", "/h"}, {"PATH", "/x"}})).value();
  EXPECT_EQ(s.inherited, (Environment{{"HOME", "/h"}, {"PATH", "/x"}}));
}

TEST(LaunchSettings, ProcessInputsIgnoreLaterEnvironmentChanges) {
  g_setenv("QUORVEL_TEST_MARK", "before", TRUE);
  LaunchInputs in = processLaunchInputs();
  g_setenv("QUORVEL_TEST_MARK", "after", TRUE);
  EXPECT_EQ(in.environment.at("QUORVEL_TEST_MARK"), "before");
  // The test binary is not inside a bundle.
  EXPECT_FALSE(in.resourcePath.has_value());
  g_unsetenv("QUORVEL_TEST_MARK");
}

TEST(Bundle, ResourcesOnlyInsideAContentsFolder) {
  test::TempDir dir;
  const std::string app = dir.path() + "/Quorvel.app/Contents";
  test::writeFile(app + "/Linux/quorvel", "");
  auto paths = locateBundle(app + "/Linux/quorvel");
  EXPECT_EQ(paths.infoPlist, app + "/Info.plist");
  EXPECT_FALSE(paths.resources) << "Contents/Resources does not exist yet";
  EXPECT_EQ(paths.resourcesSearchedAt, app + "/Resources");

  test::writeFile(app + "/Resources/server.rb", "");
  EXPECT_EQ(locateBundle(app + "/Linux/quorvel").resources, app + "/Resources");

  auto loose = locateBundle("/usr/local/bin/quorvel");
  EXPECT_FALSE(loose.infoPlist);
  EXPECT_FALSE(loose.resources);
  EXPECT_EQ(loose.resourcesSearchedAt, "/usr/local/Resources");
  EXPECT_FALSE(locateBundle("").resources);
}

}  // namespace
}  // namespace quorvel
