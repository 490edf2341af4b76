#pragma once
// The values computed once at start, by the entry point, and handed read-only to
// everything that needs them.

#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include "base/app_error.h"
#include "launch/info_dictionary.h"
#include "launch/local_origin.h"

namespace quorvel {

using Environment = std::map<std::string, std::string>;

struct LaunchSettings {
  InfoDictionary info;
  std::int64_t port = 0;
  std::string baseURL;      // "http://127.0.0.1:<port>/"
  LocalOrigin origin;       // the server's, which every "is this its page?" asks
  std::string resources;
  std::string ruby;         // resources + "/ruby/bin/ruby"
  std::string appRoot;      // resources + "/app"
  Environment inherited;    // the environment Quorvel was started with
  std::string home;         // absolute, without a trailing separator
  std::string supportDir;   // the data directory
  std::string logDir;
  std::string pidFile;
  std::string logFile;
  std::string backupDir;
  std::string databaseFile;
};

// Everything the settings depend on, passed in so that no computation reads the
// real process state.
struct LaunchInputs {
  InfoDictionary info;
  std::optional<std::string> resourcePath;  // absent: no usable bundle
  std::string resourceSearchedAt;           // named in the error when absent
  Environment environment;
  std::string fallbackHome;                 // the account's home directory
  std::string currentDirectory;             // for a relative base directory
};

// "QuorvelPort" when it is a string holding an optionally signed decimal that fits
// 64 bits, else the default.
std::int64_t portFromInfo(const InfoDictionary& info);

// The fourteen settings, or the one sentence why Quorvel cannot start.
Result<LaunchSettings> computeLaunchSettings(const LaunchInputs& inputs);

// Makes `path` absolute against `currentDirectory` and normal, with no trailing
// separator (the root stays "/").
std::string absoluteDirectory(const std::string& path, const std::string& currentDirectory);

}  // namespace quorvel

namespace quorvel {

// A copy of this process's environment.
Environment processEnvironment();

// The real inputs: the bundle around /proc/self/exe, its Info.plist, the process
// environment, the account's home directory and the current directory.
LaunchInputs processLaunchInputs();

}  // namespace quorvel
