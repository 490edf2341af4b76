#include "server/process_config.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "test_support.h"

namespace quorvel {
namespace {

LaunchSettings settings(Environment env, const std::string& resources = "/A/Resources") {
  LaunchInputs in;
  in.resourcePath = resources;
  in.environment = std::move(env);
  in.fallbackHome = "/home/account";
  in.currentDirectory = "/";
  return computeLaunchSettings(in).value();
}

std::vector<std::string> names(const EnvironmentList& env) {
  std::vector<std::string> out;
  for (const auto& entry : env) out.push_back(entry.first);
  return out;
}

TEST(ServerEnvironment, ExactlyTheFourteenVariablesInOrder) {
  LaunchToken token;
  auto s = settings({{"HOME", "/Users/u"}, {"USER", "u"}, {"PATH", "/opt/evil"},
                     {"LD_PRELOAD", "x.so"}, {"QUORVEL_HOME_UNUSED", "1"}});
  EnvironmentList env = serverEnvironment(s, "SECRET", token, "login");
  EXPECT_EQ(names(env), (std::vector<std::string>{
                            "HOME", "USER", "PATH", "LANG", "RAILS_ENV", "SECRET_KEY_BASE",
                            "BUNDLE_GEMFILE", "BUNDLE_APP_CONFIG", "DATABASE_URL", "QUORVEL_BACKUPS",
                            "QUORVEL_KEYCHAIN", "PIDFILE", "PORT", "QUORVEL_LAUNCH_TOKEN"}));
  EnvironmentList expected = {
      {"HOME", "/Users/u"},
      {"USER", "u"},
      {"PATH", "/A/Resources/ruby/bin:/usr/bin:/bin"},
      {"LANG", "en_US.UTF-8"},
      {"RAILS_ENV", "desktop"},
      {"SECRET_KEY_BASE", "SECRET"},
      {"BUNDLE_GEMFILE", "/A/Resources/app/Gemfile"},
      {"BUNDLE_APP_CONFIG", "/A/Resources/app/.bundle"},
      {"DATABASE_URL", "sqlite3:/Users/u/Library/Application%20Support/Quorvel/quorvel.sqlite3"},
      {"QUORVEL_BACKUPS", "/Users/u/Library/Application Support/Quorvel/backups"},
      {"QUORVEL_KEYCHAIN", "1"},
      {"PIDFILE", "/Users/u/Library/Application Support/Quorvel/server.pid"},
      {"PORT", "3789"},
      {"QUORVEL_LAUNCH_TOKEN", token.value()},
  };
  EXPECT_EQ(env, expected);
}

TEST(ServerEnvironment, HomeAndUserRules) {
  LaunchToken token;
  auto relocated = serverEnvironment(settings({{"QUORVEL_HOME", "/tmp/q/"}, {"HOME", "/Users/u"}}),
                                     "s", token, "login");
  EXPECT_EQ(relocated[0], (std::pair<std::string, std::string>{"HOME", "/tmp/q"}));
  EXPECT_EQ(relocated[1].second, "login") << "no USER given: the login name";
  for (const auto& [name, value] : relocated) EXPECT_NE(name, "QUORVEL_HOME");

  auto emptyUser = serverEnvironment(settings({{"USER", ""}}), "s", token, "login");
  EXPECT_EQ(emptyUser[1].second, "") << "present, even empty, is copied";
}

TEST(ServerEnvironment, DatabaseURLPercentEncodesThePath) {
  struct Case {
    const char* path;
    const char* url;
    const char* edge;
  } cases[] = {
      {"/a b/db", "sqlite3:/a%20b/db", "space"},
      {"/100%/db", "sqlite3:/100%25/db", "percent sign"},
      {"/x;y/db", "sqlite3:/x%3By/db", "semicolon is not kept"},
      {"/é/db", "sqlite3:/%C3%A9/db", "UTF-8 bytes in upper-case hex"},
      {"/?#[]/db", "sqlite3:/%3F%23%5B%5D/db", "query and fragment marks"},
      {"/a:b@c=d/!$&'()*+,-._~", "sqlite3:/a:b@c=d/!$&'()*+,-._~", "the seventeen kept characters"},
  };
  for (const auto& c : cases) EXPECT_EQ(databaseURL(c.path), c.url) << c.edge;
}

TEST(RubyProcess, DescribesTheServerWithoutLaunchingIt) {
  test::TempDir dir;
  auto s = settings({{"QUORVEL_HOME", dir.path()}}, "/A/Resources");
  std::filesystem::create_directories(s.supportDir);
  LaunchToken token;
  auto first = rubyProcess(s, token, serverArguments(s));
  ASSERT_TRUE(first.ok());
  const ProcessDescription& d = first.value();
  EXPECT_EQ(d.executable, "/A/Resources/ruby/bin/ruby");
  EXPECT_EQ(d.arguments, (std::vector<std::string>{"/A/Resources/server.rb", "-C", "config/puma.rb",
                                                   "-b", "tcp://127.0.0.1:3789"}));
  EXPECT_EQ(d.workingDirectory, "/A/Resources/app");
  EXPECT_EQ(d.outputFile, s.logFile);
  EXPECT_EQ(d.environment.size(), 14u);

  auto second = rubyProcess(s, token, serverArguments(s));
  EXPECT_EQ(second.value().environment[5], d.environment[5]) << "same secret key base twice";
  EXPECT_EQ(d.environment[5].second, test::readFile(s.supportDir + "/secret_key_base"));
}

}  // namespace
}  // namespace quorvel
