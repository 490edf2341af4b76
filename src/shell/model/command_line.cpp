#include "shell/model/command_line.h"

namespace quorvel {

std::string versionText(const InfoDictionary& info) {
  std::string shortVersion = infoString(info, "CFBundleShortVersionString").value_or("");
  std::string build = infoString(info, "CFBundleVersion").value_or("");
  std::string version = shortVersion.empty() ? build : shortVersion;
  if (!build.empty() && build != version) version += " (" + build + ")";
  return version;
}

CommandLineAnswer answerCommandLine(const std::vector<std::string>& arguments, const InfoDictionary& info) {
  if (arguments.empty()) return {};
  const std::string& first = arguments[0];
  bool known = first == "--help" || first == "-h" || first == "--version";
  if (known && arguments.size() == 1) {
    if (first == "--version") {
      std::string version = versionText(info);
      return {false, 0, "Quorvel " + (version.empty() ? "(no version in Info.plist)" : version) + "\n"};
    }
    return {false, 0,
            "Usage: quorvel [--help | --version]\n"
            "Shows the web application of its bundle in one window; launched again, it\n"
            "brings that window forward.\n"
            "  --help     show this text\n"
            "  --version  show the version\n"};
  }
  const std::string& wrong = known ? arguments[1] : first;
  return {false, 2, "quorvel: unexpected argument '" + wrong + "' (see quorvel --help)\n"};
}

}  // namespace quorvel
