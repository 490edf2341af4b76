#pragma once
// Shared pieces for tests: temporary folders, files and launch inputs.

#include <glib.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>

#include "base/glib_ptr.h"
#include "launch/launch_settings.h"

namespace quorvel::test {

// A folder of its own, removed with everything in it at the end.
struct TempDir {
  ~TempDir() { std::filesystem::remove_all(path_); }
  const std::string& path() const { return path_; }
  const std::string path_ = takeString(g_dir_make_tmp("quorvel-test-XXXXXX", nullptr));
};

// The bytes as they are; "" when it cannot be read.
inline std::string readFile(const std::string& path) {
  return {std::istreambuf_iterator<char>(std::ifstream(path, std::ios::binary).rdbuf()), {}};
}

inline void writeFile(const std::string& path, const std::string& contents) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::ofstream(path, std::ios::binary) << contents;
}

// A dangling symbolic link counts.
inline bool exists(const std::string& path) { return std::filesystem::exists(std::filesystem::symlink_status(path)); }
inline bool has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// Launch inputs for a bundle at /A/Resources, the account's home /home/account and
// the current directory /work/cwd.
inline LaunchInputs inputsWith(Environment environment) {
  return {.resourcePath = "/A/Resources", .environment = std::move(environment), .fallbackHome = "/home/account",
          .currentDirectory = "/work/cwd"};
}

}  // namespace quorvel::test
