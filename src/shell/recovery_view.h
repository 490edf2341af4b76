#pragma once
// A native view in place of the page when the server or the page has stopped:
// what happened, the end of the server's log, and the ways on.

#include <functional>
#include <string>
#include <vector>

#include "base/glib_ptr.h"

typedef struct _GtkWidget GtkWidget;

namespace quorvel {

class RecoveryView {
 public:
  struct Choice {
    std::string label;  // with a mnemonic: "_Restart Server"
    std::function<void()> action;
  };

  RecoveryView();
  GtkWidget* widget() const { return box_; }  // owned by the window once placed
  // The first choice is the default one.
  void show(const std::string& title, const std::string& detail, const std::string& log, std::vector<Choice> choices);
  void focusFirstChoice();

 private:
  GtkWidget* box_;
  GtkWidget* title_;
  GtkWidget* detail_;
  GtkWidget* log_;
  GtkWidget* buttons_;
  std::vector<Choice> choices_;
  SignalConnections connections_;
};

}  // namespace quorvel
