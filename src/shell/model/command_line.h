#pragma once
// The command line: nothing (start, or hand over to the running Quorvel), --help
// or --version. The last two are answered before any window, server or lock.

#include <string>
#include <vector>

#include "launch/info_dictionary.h"

namespace quorvel {

struct CommandLineAnswer {
  bool start = true;   // false: print `output` and exit with `status`
  int status = 0;      // 0: `output` goes to standard output, else to standard error
  std::string output;
};

// `arguments` excludes the program name.
CommandLineAnswer answerCommandLine(const std::vector<std::string>& arguments, const InfoDictionary& info);

// "1.2 (345)" from CFBundleShortVersionString and CFBundleVersion, as About shows it.
std::string versionText(const InfoDictionary& info);

}  // namespace quorvel
