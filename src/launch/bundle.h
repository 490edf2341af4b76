#pragma once
// Finds the application bundle around the running executable:
// Quorvel.app/Contents/Linux/quorvel, with Contents/Info.plist and Contents/Resources.

#include <optional>
#include <string>

namespace quorvel {

struct BundlePaths {
  std::optional<std::string> infoPlist;   // absent outside a bundle
  std::optional<std::string> resources;   // absent when there is no resource folder
  std::string resourcesSearchedAt;        // where the resource folder was expected
};

// `executable` is the resolved path of the program file.
BundlePaths locateBundle(const std::string& executable);

// The resolved path of the running program (/proc/self/exe), or "" if unknown.
std::string runningExecutable();

}  // namespace quorvel
