#include "shell/recovery_view.h"

#include <gtk/gtk.h>

namespace quorvel {

RecoveryView::RecoveryView()
    : box_(gtk_box_new(GTK_ORIENTATION_VERTICAL, 12)),
      title_(gtk_label_new(nullptr)),
      detail_(gtk_label_new(nullptr)),
      log_(gtk_label_new(nullptr)),
      buttons_(gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 12)) {
  gtk_widget_set_valign(box_, GTK_ALIGN_CENTER);
  gtk_widget_set_halign(box_, GTK_ALIGN_CENTER);
  gtk_widget_set_size_request(box_, 560, -1);
  gtk_box_append(GTK_BOX(box_), gtk_image_new_from_icon_name("dialog-warning-symbolic"));
  gtk_image_set_pixel_size(GTK_IMAGE(gtk_widget_get_first_child(box_)), 64);
  gtk_widget_add_css_class(title_, "title-1");
  for (GtkWidget* label : {title_, detail_, log_}) {
    gtk_label_set_wrap(GTK_LABEL(label), TRUE);
    gtk_label_set_selectable(GTK_LABEL(label), label == log_);
    gtk_box_append(GTK_BOX(box_), label);
  }
  gtk_label_set_xalign(GTK_LABEL(log_), 0);
  gtk_widget_add_css_class(log_, "monospace");
  gtk_widget_set_halign(buttons_, GTK_ALIGN_CENTER);
  gtk_box_append(GTK_BOX(box_), buttons_);
}

void RecoveryView::show(const std::string& title, const std::string& detail, const std::string& log,
                        std::vector<Choice> choices) {
  gtk_label_set_text(GTK_LABEL(title_), title.c_str());
  gtk_label_set_text(GTK_LABEL(detail_), detail.c_str());
  gtk_label_set_text(GTK_LABEL(log_), log.c_str());
  gtk_widget_set_visible(log_, !log.empty());
  while (GtkWidget* old = gtk_widget_get_first_child(buttons_)) gtk_box_remove(GTK_BOX(buttons_), old);
  choices_ = std::move(choices);
  for (const Choice& choice : choices_) {
    GtkWidget* button = gtk_button_new_with_mnemonic(choice.label.c_str());
    // A copy: the action may show other choices, replacing this one.
    g_signal_connect_swapped(button, "clicked", G_CALLBACK(+[](const Choice* chosen) { auto act = chosen->action; act(); }),
                             const_cast<Choice*>(&choice));
    if (&choice == &choices_.front()) gtk_widget_add_css_class(button, "suggested-action");
    gtk_box_append(GTK_BOX(buttons_), button);
  }
  if (GtkWidget* first = gtk_widget_get_first_child(buttons_)) gtk_widget_grab_focus(first);
}

}  // namespace quorvel
