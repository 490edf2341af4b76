#include "launch/bundle.h"

#include <filesystem>
#include <system_error>

namespace quorvel {

BundlePaths locateBundle(const std::string& executable) {
  namespace fs = std::filesystem;
  BundlePaths paths;
  fs::path folder = fs::path(executable).parent_path();
  fs::path contents = folder.parent_path();
  paths.resourcesSearchedAt = (contents / "Resources").string();
  if (executable.empty() || contents.filename() != "Contents") return paths;

  paths.infoPlist = (contents / "Info.plist").string();
  std::error_code ec;
  if (fs::is_directory(contents / "Resources", ec)) paths.resources = paths.resourcesSearchedAt;
  return paths;
}

std::string runningExecutable() {
  std::error_code ec;
  auto path = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::string() : path.string();
}

}  // namespace quorvel
