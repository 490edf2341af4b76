#pragma once
// "Check for Updates…": fetches the appcast named by SUFeedURL, compares its newest
// version for this system with CFBundleVersion and offers it. With a valid
// SUPublicEDKey it downloads, verifies and installs the offered package through
// PackageKit; without one it offers the download page. With SUEnableAutomaticChecks
// it also checks quietly at start and every SUScheduledCheckInterval seconds,
// speaking only when an update exists that the user has not skipped.

#include <functional>
#include <memory>
#include <string>

#include "launch/info_dictionary.h"

namespace quorvel {

// What a check has to tell the user; the shell shows it as a dialog.
struct UpdateMessage {
  enum class Action {
    None,      // "OK"
    ShowFile,  // "Show in Folder" shows the file `target`; and "Close"
    Relaunch,  // "Relaunch Quorvel" (the default) or "Later"
  };
  std::string primary;
  std::string secondary;
  Action action = Action::None;
  std::string target;
};

// A newer version, answered by installUpdate(), skipVersion() or nothing (later).
struct UpdateOffer {
  std::string version;      // the version shown (NEW)
  std::string primary;      // "Quorvel NEW is available"
  std::string secondary;    // "You have OLD. Install the update now?", or why not and what instead
  std::string notesURL;     // the release notes' page, else empty
  std::string notesHTML;    // else the item's description
  std::string downloadURL;  // set when Quorvel can't install it: offer this page instead
};

struct UpdateView {
  std::function<void(const UpdateMessage&)> message;
  std::function<void(const UpdateOffer&)> offer;
  // A download or an installation under way; fraction < 0 when not known.
  std::function<void(const std::string& status, double fraction, bool cancellable)> progress;
  std::function<void()> progressEnded;
};

class UpdateChecker {
 public:
  // `supportDir` keeps the skipped version.
  UpdateChecker(const InfoDictionary& info, const std::string& supportDir, UpdateView view);
  ~UpdateChecker();
  UpdateChecker(const UpdateChecker&) = delete;
  UpdateChecker& operator=(const UpdateChecker&) = delete;

  // The menu command: always answers, also when up to date or when it failed.
  void checkForUpdates();

  // Answers to the last offer.
  void installUpdate();
  void skipVersion();
  // Stops a download under way.
  void cancel();

  struct State;  // shared with the asynchronous steps of a check

 private:
  std::shared_ptr<State> state_;
};

}  // namespace quorvel
