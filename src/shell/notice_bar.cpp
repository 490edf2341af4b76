#include "shell/notice_bar.h"

#include <gtk/gtk.h>

#include "base/glib_ptr.h"
#include "web/desktop_handoff.h"

namespace quorvel {
namespace {

enum Response { Open = 1, ShowInFolder = 2 };

}  // namespace

NoticeBar::NoticeBar() : bar_(gtk_info_bar_new()), label_(gtk_label_new(nullptr)) {
  gtk_label_set_line_wrap(GTK_LABEL(label_), TRUE);
  gtk_label_set_xalign(GTK_LABEL(label_), 0);
  gtk_widget_set_hexpand(label_, TRUE);
  gtk_container_add(GTK_CONTAINER(gtk_info_bar_get_content_area(GTK_INFO_BAR(bar_))), label_);
  fileButtons_[0] = gtk_info_bar_add_button(GTK_INFO_BAR(bar_), "_Open", Open);
  fileButtons_[1] = gtk_info_bar_add_button(GTK_INFO_BAR(bar_), "_Show in Folder", ShowInFolder);
  // GTK's own close button has no name a screen reader could read.
  GtkWidget* close = gtk_button_new_from_icon_name("window-close-symbolic", GTK_ICON_SIZE_BUTTON);
  gtk_button_set_relief(GTK_BUTTON(close), GTK_RELIEF_NONE);
  gtk_widget_set_tooltip_text(close, "Close");
  atk_object_set_name(gtk_widget_get_accessible(close), "Close");
  gtk_widget_show(close);
  gtk_info_bar_add_action_widget(GTK_INFO_BAR(bar_), close, GTK_RESPONSE_CLOSE);
  gtk_button_box_set_child_non_homogeneous(GTK_BUTTON_BOX(gtk_info_bar_get_action_area(GTK_INFO_BAR(bar_))), close, TRUE);
  // Hidden until there is something to say, also when the window shows all it holds.
  gtk_widget_show(label_);
  gtk_widget_set_no_show_all(bar_, TRUE);
  connections_.add(bar_, "response", G_CALLBACK(+[](GtkInfoBar* bar, int response, NoticeBar* self) {
                     if (response == Open) {
                       openWithDesktop(takeString(g_filename_to_uri(self->path_.c_str(), nullptr, nullptr)), GTK_WIDGET(bar));
                     }
                     if (response == ShowInFolder) showInFileManager(self->path_);
                     if (response == GTK_RESPONSE_CLOSE) gtk_widget_hide(GTK_WIDGET(bar));
                   }),
                   this);
}

void NoticeBar::show(const DownloadReport& report) {
  path_ = report.path;
  std::string text = report.saved ? "Saved " + report.name + " to " + report.folder
                                  : "Couldn't save " + report.name + ": " + report.reason;
  gtk_label_set_text(GTK_LABEL(label_), text.c_str());
  gtk_info_bar_set_message_type(GTK_INFO_BAR(bar_), report.saved ? GTK_MESSAGE_INFO : GTK_MESSAGE_ERROR);
  gtk_info_bar_set_response_sensitive(GTK_INFO_BAR(bar_), Open, report.saved);
  gtk_info_bar_set_response_sensitive(GTK_INFO_BAR(bar_), ShowInFolder, report.saved);
  for (GtkWidget* button : fileButtons_) gtk_widget_show(button);
  gtk_widget_show(bar_);
}

void NoticeBar::showProblem(const std::string& text) {
  gtk_label_set_text(GTK_LABEL(label_), text.c_str());
  gtk_info_bar_set_message_type(GTK_INFO_BAR(bar_), GTK_MESSAGE_ERROR);
  for (GtkWidget* button : fileButtons_) gtk_widget_hide(button);
  gtk_widget_show(bar_);
}

}  // namespace quorvel
