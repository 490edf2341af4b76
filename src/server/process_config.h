#pragma once
// What the server child is started with: program, arguments, working directory,
// its complete environment and where its output goes.

#include <string>
#include <utility>
#include <vector>

#include "base/app_error.h"
#include "base/random_bytes.h"
#include "launch/launch_settings.h"
#include "launch/launch_token.h"

namespace quorvel {

using EnvironmentList = std::vector<std::pair<std::string, std::string>>;

// An un-launched child process; ChildProcess::launch starts it.
struct ProcessDescription {
  std::string executable;
  std::vector<std::string> arguments;   // without the program name
  std::string workingDirectory;
  EnvironmentList environment;          // the whole environment, nothing inherited
  std::string outputFile;               // standard output and error, appended
};

// server.rb -C config/puma.rb -b tcp://127.0.0.1:<port>
std::vector<std::string> serverArguments(const LaunchSettings& settings);

// The fourteen variables, in order. `loginName` stands in for USER when Quorvel
// itself was started without one.
EnvironmentList serverEnvironment(const LaunchSettings& settings, const std::string& secretKeyBase,
                                  const LaunchToken& token, const std::string& loginName);

// "sqlite3:" + the path, percent-encoded for a URL path.
std::string databaseURL(const std::string& databaseFile);

// The server description, reading (or making) the secret key base on the way.
Result<ProcessDescription> rubyProcess(const LaunchSettings& settings, const LaunchToken& token,
                                       const std::vector<std::string>& arguments,
                                       const RandomSource& random = systemRandom);

}  // namespace quorvel
