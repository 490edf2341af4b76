#pragma once
// "Check for Updates…": fetches the appcast named by SUFeedURL, compares its newest
// version with CFBundleVersion and answers in a dialog. With SUEnableAutomaticChecks
// it also checks quietly at start and every SUScheduledCheckInterval seconds,
// speaking only when an update exists.

#include <memory>
#include <string>

#include "app/info_dictionary.h"

typedef struct _GtkWindow GtkWindow;

namespace quorvel {

class UpdateChecker {
 public:
  explicit UpdateChecker(const InfoDictionary& info);
  ~UpdateChecker();
  UpdateChecker(const UpdateChecker&) = delete;
  UpdateChecker& operator=(const UpdateChecker&) = delete;

  // Dialogs are modal to this window once it exists.
  void setParentWindow(GtkWindow* window);

  // The menu command: always answers, also when up to date or when it failed.
  void checkForUpdates();

  struct State;  // shared with the asynchronous steps of a check

 private:
  std::shared_ptr<State> state_;
};

}  // namespace quorvel
