#pragma once
// A window-modal message with buttons, answered asynchronously.

#include <functional>
#include <string>
#include <vector>

typedef struct _GtkWindow GtkWindow;

namespace quorvel {

struct DialogButton {
  std::string label;
  int response;          // zero or more
  bool preferred = false;  // the default button (Return); without one, the last
};

// Shows `primary` in bold with `secondary` below, modal to `parent`. `done` gets the
// response of the chosen button, or -1 when the dialog is dismissed otherwise
// (Escape). Without buttons, one "OK" answering 0 is shown.
void showMessageDialog(GtkWindow* parent, const std::string& primary, const std::string& secondary,
                       std::vector<DialogButton> buttons, std::function<void(int)> done);

}  // namespace quorvel
