#include "launch/launch_settings.h"

#include <pwd.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <memory>

#include <glib.h>

#include "base/glib_ptr.h"
#include "base/text_file.h"
#include "launch/bundle.h"

namespace quorvel {
namespace {

std::string joinUnder(const std::string& base, const char* relative) {
  return absoluteDirectory((std::filesystem::path(base) / relative).string(), "/");
}

}  // namespace

std::int64_t portFromInfo(const InfoDictionary& info) {
  auto text = infoString(info, "QuorvelPort");
  if (!text) return kDefaultPort;
  return parseStrictDecimal(*text).value_or(kDefaultPort);
}

std::string absoluteDirectory(const std::string& path, const std::string& currentDirectory) {
  namespace fs = std::filesystem;
  fs::path p(path);
  if (!p.is_absolute()) p = fs::path(currentDirectory) / p;
  std::string normal = p.lexically_normal().string();
  while (normal.size() > 1 && normal.back() == '/') normal.pop_back();
  return normal;
}

Result<LaunchSettings> computeLaunchSettings(const LaunchInputs& in) {
  LaunchSettings s;
  s.info = in.info;
  s.port = portFromInfo(s.info);
  auto origin = LocalOrigin::onPort(s.port);
  if (!origin) {
    return AppError("Quorvel can't start because its port " + std::to_string(s.port) +
                    " (QuorvelPort in Contents/Info.plist) is not between 1 and 65535.");
  }
  s.origin = *origin;
  s.baseURL = "http://127.0.0.1:" + std::to_string(s.port) + "/";

  if (!in.resourcePath) {
    return AppError("Quorvel can't start because it found no resource folder at " +
                    in.resourceSearchedAt +
                    " (its executable must be Contents/Linux/quorvel inside the application bundle).");
  }
  s.resources = *in.resourcePath;
  s.ruby = s.resources + "/ruby/bin/ruby";
  s.appRoot = s.resources + "/app";
  s.inherited = in.environment;

  // Presence decides, not content: an empty QUORVEL_HOME still wins.
  std::string base = in.fallbackHome;
  if (auto it = s.inherited.find("QUORVEL_HOME"); it != s.inherited.end()) {
    base = it->second;
  } else if (auto home = s.inherited.find("HOME"); home != s.inherited.end()) {
    base = home->second;
  }
  s.home = absoluteDirectory(base, in.currentDirectory);
  s.supportDir = joinUnder(s.home, "Library/Application Support/Quorvel");
  s.logDir = joinUnder(s.home, "Library/Logs/Quorvel");
  s.pidFile = s.supportDir + "/server.pid";
  s.logFile = s.logDir + "/server.log";
  s.backupDir = s.supportDir + "/backups";
  s.databaseFile = s.supportDir + "/quorvel.sqlite3";
  return s;
}

}  // namespace quorvel

namespace quorvel {

Environment processEnvironment() {
  Environment environment;
  StrvPtr entries(g_get_environ());
  for (gchar** entry = entries.get(); entry && *entry; ++entry) {
    const char* equals = std::strchr(*entry, '=');
    if (equals) environment.emplace(std::string(static_cast<const char*>(*entry), equals), std::string(equals + 1));
  }
  return environment;
}

LaunchInputs processLaunchInputs() {
  LaunchInputs in;
  BundlePaths bundle = locateBundle(runningExecutable());
  if (bundle.infoPlist) in.info = readInfoDictionary(*bundle.infoPlist);
  in.resourcePath = bundle.resources;
  in.resourceSearchedAt = bundle.resourcesSearchedAt;

  in.environment = processEnvironment();

  // The account's own home, not $HOME: this is the fallback for when HOME is unset.
  if (const passwd* account = getpwuid(getuid()); account && account->pw_dir) {
    in.fallbackHome = account->pw_dir;
  } else {
    in.fallbackHome = g_get_home_dir();
  }
  in.currentDirectory = takeString(g_get_current_dir());
  return in;
}

}  // namespace quorvel
