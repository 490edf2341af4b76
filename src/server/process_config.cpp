#include "server/process_config.h"

#include <glib.h>

#include "base/glib_ptr.h"
#include "server/secret_key_base.h"

namespace quorvel {

std::vector<std::string> serverArguments(const LaunchSettings& settings) {
  return {settings.resources + "/server.rb", "-C", "config/puma.rb", "-b",
          "tcp://127.0.0.1:" + std::to_string(settings.port)};
}

std::string databaseURL(const std::string& databaseFile) {
  // Unreserved characters pass on their own; these are the path's other allowed
  // ones. ';' is deliberately not among them.
  return "sqlite3:" + takeString(g_uri_escape_string(databaseFile.c_str(), "!$&'()*+,/:=@", FALSE));
}

EnvironmentList serverEnvironment(const LaunchSettings& s, const std::string& secretKeyBase,
                                  const LaunchToken& token, const std::string& loginName) {
  auto user = s.inherited.find("USER");
  EnvironmentList env = {
      {"HOME", s.home},
      {"USER", user != s.inherited.end() ? user->second : loginName},
      {"PATH", s.resources + "/ruby/bin:/usr/bin:/bin"},
      {"LANG", "en_US.UTF-8"},
      {"RAILS_ENV", "desktop"},
      {"SECRET_KEY_BASE", secretKeyBase},
      {"BUNDLE_GEMFILE", s.appRoot + "/Gemfile"},
      {"BUNDLE_APP_CONFIG", s.appRoot + "/.bundle"},
      {"DATABASE_URL", databaseURL(s.databaseFile)},
      {"QUORVEL_BACKUPS", s.backupDir},
      {"QUORVEL_KEYCHAIN", "1"},
      {"PIDFILE", s.pidFile},
      {"PORT", std::to_string(s.port)},
  };
  for (const auto& [name, value] : token.environment()) {
    bool replaced = false;
    for (auto& entry : env) {
      if (entry.first == name) {
        entry.second = value;
        replaced = true;
      }
    }
    if (!replaced) env.emplace_back(name, value);
  }
  return env;
}

Result<ProcessDescription> rubyProcess(const LaunchSettings& settings, const LaunchToken& token,
                                       const std::vector<std::string>& arguments,
                                       const RandomSource& random) {
  auto secret = secretKeyBase(settings.supportDir, random);
  if (!secret) return secret.error();
  ProcessDescription process;
  process.executable = settings.ruby;
  process.arguments = arguments;
  process.workingDirectory = settings.appRoot;
  process.environment = serverEnvironment(settings, secret.value(), token, g_get_user_name());
  process.outputFile = settings.logFile;
  return process;
}

}  // namespace quorvel
