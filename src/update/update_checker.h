#pragma once
// "Check for Updates…": fetches the appcast named by SUFeedURL, compares its newest
// version with CFBundleVersion and answers in a dialog. With SUEnableAutomaticChecks
// it also checks quietly at start and every SUScheduledCheckInterval seconds,
// speaking only when an update exists.

#include <functional>
#include <memory>
#include <string>

#include "launch/info_dictionary.h"

namespace quorvel {

// What a check has to tell the user; the shell shows it as a dialog.
struct UpdateMessage {
  std::string primary;
  std::string secondary;
  std::string downloadURL;  // set: offer "Download" (the default) and "Later"
};

class UpdateChecker {
 public:
  using Presenter = std::function<void(const UpdateMessage&)>;

  UpdateChecker(const InfoDictionary& info, Presenter present);
  ~UpdateChecker();
  UpdateChecker(const UpdateChecker&) = delete;
  UpdateChecker& operator=(const UpdateChecker&) = delete;

  // The menu command: always answers, also when up to date or when it failed.
  void checkForUpdates();

  struct State;  // shared with the asynchronous steps of a check

 private:
  std::shared_ptr<State> state_;
};

}  // namespace quorvel
