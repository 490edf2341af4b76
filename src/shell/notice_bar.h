#pragma once
// The window's notice bar: a short notice at the bottom when a download ends
// ("Saved NAME to Downloads" with "Open" and "Show in Folder", or why it failed),
// or of another problem the window should tell of (a print that failed).

#include "base/glib_ptr.h"
#include "web/downloads.h"

typedef struct _GtkWidget GtkWidget;

namespace quorvel {

class NoticeBar {
 public:
  NoticeBar();
  // To place in the window; hidden until there is something to say.
  GtkWidget* widget() const { return bar_; }
  void show(const DownloadReport& report);
  // Another problem the window should tell of (a print that failed), without the file's buttons.
  void showProblem(const std::string& text);

 private:
  GtkWidget* bar_;     // owned by the window once placed
  GtkWidget* label_;
  GtkWidget* fileButtons_[2] = {};  // Open, Show in Folder
  std::string path_;   // the last saved file
  SignalConnections connections_;
};

}  // namespace quorvel
