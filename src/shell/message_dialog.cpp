#include "shell/message_dialog.h"

#include <gtk/gtk.h>

#include <memory>

#include "base/glib_ptr.h"

namespace quorvel {
namespace {

struct Answer {
  std::function<void(int)> done;
};

void responded(GtkDialog* dialog, int response, Answer* answer) {
  // Destroying the dialog frees the Answer, so take the callback out first.
  auto done = std::move(answer->done);
  gtk_widget_destroy(GTK_WIDGET(dialog));
  if (done) done(response >= 0 ? response : -1);
}

}  // namespace

void showMessageDialog(GtkWindow* parent, const std::string& primary, const std::string& secondary,
                       std::vector<DialogButton> buttons, std::function<void(int)> done) {
  if (buttons.empty()) buttons.push_back({"OK", 0});
  GtkWidget* dialog = gtk_message_dialog_new(parent, static_cast<GtkDialogFlags>(GTK_DIALOG_MODAL | GTK_DIALOG_DESTROY_WITH_PARENT), GTK_MESSAGE_OTHER,
                                             GTK_BUTTONS_NONE, "%s", primary.c_str());
  if (!secondary.empty()) {
    gtk_message_dialog_format_secondary_text(GTK_MESSAGE_DIALOG(dialog), "%s", secondary.c_str());
  }
  // A short message keeps the width of the desktop's alerts rather than shrinking the box around it.
  ListPtr labels(
      gtk_container_get_children(GTK_CONTAINER(gtk_message_dialog_get_message_area(GTK_MESSAGE_DIALOG(dialog)))));
  for (GList* label = labels.get(); label; label = label->next) gtk_label_set_width_chars(GTK_LABEL(label->data), 36);
  int preferred = buttons.back().response;
  for (const auto& button : buttons) {
    gtk_dialog_add_button(GTK_DIALOG(dialog), button.label.c_str(), button.response);
    if (button.preferred) preferred = button.response;
  }
  gtk_dialog_set_default_response(GTK_DIALOG(dialog), preferred);
  SignalConnections::forLifeOf(dialog, "response", G_CALLBACK(responded), new Answer{std::move(done)});
  gtk_window_present(GTK_WINDOW(dialog));
}

}  // namespace quorvel
