#pragma once
// The update's own dialogs, modal to the window: the offer with its release notes,
// and the progress of a download or an installation.

#include <functional>
#include <string>

#include "base/glib_ptr.h"
#include "update/update_checker.h"

typedef struct _GtkWindow GtkWindow;
typedef struct _GtkWidget GtkWidget;

namespace quorvel {

enum class OfferAnswer { Install, Download, RemindLater, Skip };

// "Install Update" (the default; "Download" when the offer names a page instead),
// "Remind Me Later" and "Skip This Version". Closing the dialog is "later".
void showUpdateOffer(GtkWindow* parent, const UpdateOffer& offer, std::function<void(OfferAnswer)> answered);

class UpdateProgress {
 public:
  UpdateProgress(GtkWindow* parent, std::function<void()> cancel);
  ~UpdateProgress();
  UpdateProgress(const UpdateProgress&) = delete;
  UpdateProgress& operator=(const UpdateProgress&) = delete;

  // fraction < 0: not known, the bar pulses.
  void set(const std::string& status, double fraction, bool cancellable);

 private:
  GtkWidget* dialog_;
  GtkWidget* label_;
  GtkWidget* bar_;
  GtkWidget* cancel_;
  std::function<void()> cancelled_;
  unsigned pulse_ = 0;
  SignalConnections connections_;
};

}  // namespace quorvel
