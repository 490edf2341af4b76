#include "shell/recovery_view.h"

#include <gtk/gtk.h>

#include "base/glib_ptr.h"

namespace quorvel {
namespace {

void chosen(GtkButton*, const RecoveryView::Choice* choice) {
  // A copy: the action may show other choices, replacing this one.
  auto act = choice->action;
  act();
}

}  // namespace

RecoveryView::RecoveryView()
    : box_(gtk_box_new(GTK_ORIENTATION_VERTICAL, 12)),
      title_(gtk_label_new(nullptr)),
      detail_(gtk_label_new(nullptr)),
      log_(gtk_label_new(nullptr)),
      buttons_(gtk_button_box_new(GTK_ORIENTATION_HORIZONTAL)) {
  gtk_widget_set_valign(box_, GTK_ALIGN_CENTER);
  gtk_widget_set_halign(box_, GTK_ALIGN_CENTER);
  gtk_widget_set_size_request(box_, 560, -1);
  GtkWidget* icon = gtk_image_new_from_icon_name("dialog-warning-symbolic", GTK_ICON_SIZE_DIALOG);
  gtk_image_set_pixel_size(GTK_IMAGE(icon), 64);
  gtk_style_context_add_class(gtk_widget_get_style_context(icon), "dim-label");
  gtk_box_pack_start(GTK_BOX(box_), icon, FALSE, FALSE, 0);
  CPtr<PangoAttrList, pango_attr_list_unref> large(pango_attr_list_new());
  pango_attr_list_insert(large.get(), pango_attr_scale_new(PANGO_SCALE_XX_LARGE));
  pango_attr_list_insert(large.get(), pango_attr_weight_new(PANGO_WEIGHT_BOLD));
  gtk_label_set_attributes(GTK_LABEL(title_), large.get());
  for (GtkWidget* label : {title_, detail_, log_}) {
    gtk_label_set_line_wrap(GTK_LABEL(label), TRUE);
    gtk_label_set_selectable(GTK_LABEL(label), label == log_);
    gtk_box_pack_start(GTK_BOX(box_), label, FALSE, FALSE, 0);
  }
  gtk_label_set_xalign(GTK_LABEL(log_), 0);
  gtk_style_context_add_class(gtk_widget_get_style_context(log_), "monospace");
  // Shown with the rest of the window, except what is empty.
  gtk_widget_set_no_show_all(detail_, TRUE);
  gtk_widget_set_no_show_all(log_, TRUE);
  gtk_button_box_set_layout(GTK_BUTTON_BOX(buttons_), GTK_BUTTONBOX_CENTER);
  gtk_box_set_spacing(GTK_BOX(buttons_), 12);
  gtk_box_pack_start(GTK_BOX(box_), buttons_, FALSE, FALSE, 6);
}

void RecoveryView::show(const std::string& title, const std::string& detail, const std::string& log,
                        std::vector<Choice> choices) {
  gtk_label_set_text(GTK_LABEL(title_), title.c_str());
  gtk_label_set_text(GTK_LABEL(detail_), detail.c_str());
  gtk_label_set_text(GTK_LABEL(log_), log.c_str());
  gtk_widget_set_visible(detail_, !detail.empty());
  gtk_widget_set_visible(log_, !log.empty());
  connections_.disconnectAll();
  gtk_container_foreach(GTK_CONTAINER(buttons_), [](GtkWidget* old, gpointer) { gtk_widget_destroy(old); }, nullptr);
  choices_ = std::move(choices);
  for (const Choice& choice : choices_) {
    GtkWidget* button = gtk_button_new_with_mnemonic(choice.label.c_str());
    connections_.add(button, "clicked", G_CALLBACK(chosen), const_cast<Choice*>(&choice));
    if (&choice == &choices_.front()) gtk_style_context_add_class(gtk_widget_get_style_context(button), "suggested-action");
    gtk_container_add(GTK_CONTAINER(buttons_), button);
    gtk_widget_show(button);
  }
}

void RecoveryView::focusFirstChoice() {
  ListPtr buttons(gtk_container_get_children(GTK_CONTAINER(buttons_)));
  if (buttons) gtk_widget_grab_focus(GTK_WIDGET(buttons->data));
}

}  // namespace quorvel
