#pragma once
// Installs a local package through PackageKit on the system bus, as the desktop's
// software tools do: the administrator's consent is asked for by the system.

#include <functional>
#include <memory>
#include <string>

namespace quorvel {

struct InstallOutcome {
  enum class Kind { Installed, Failed, NoPackageKit };
  Kind kind;
  std::string message;  // a finished sentence for Failed and NoPackageKit
  bool operator==(const InstallOutcome&) const = default;
};

// What a transaction has said so far; decides its outcome when it finishes.
class InstallTransaction {
 public:
  // PackageKit's exit enumeration (pk-enum.h).
  static constexpr unsigned kExitSuccess = 1;
  static constexpr unsigned kExitCancelled = 3;
  static constexpr unsigned kExitCancelledPriority = 9;

  void errorCode(unsigned code, const std::string& details);
  InstallOutcome finished(unsigned exit) const;

 private:
  std::string details_;
};

class PackageInstaller {
 public:
  struct Events {
    std::function<void(double fraction)> progress;  // negative: how far is not known
    std::function<void(const InstallOutcome&)> done;
  };

  // Starts at once; `done` is called once, from the main loop, unless this goes first.
  PackageInstaller(const std::string& packagePath, Events events);
  ~PackageInstaller();
  PackageInstaller(const PackageInstaller&) = delete;
  PackageInstaller& operator=(const PackageInstaller&) = delete;

  struct State;

 private:
  std::shared_ptr<State> state_;
};

}  // namespace quorvel
