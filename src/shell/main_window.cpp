#include "shell/main_window.h"

#include <gtk/gtk.h>

#include "base/milestones.h"
#include "launch/launch_settings.h"
#include "shell/notice_bar.h"
#include "shell/model/main_menu.h"
#include "shell/message_dialog.h"
#include "shell/model/window_state.h"

namespace quorvel {
namespace {

bool isPageFirst(const char* action) {
  for (const auto& menu : mainMenu()) {
    for (const auto& entry : menu.entries) {
      if (entry.pageFirst && entry.action == action) return true;
    }
  }
  return false;
}

// The application's actions bound to a key, looked up by the key's value.
StrvPtr actionsFor(GtkApplication* app, const GdkEventKey* event) {
  auto modifiers = static_cast<GdkModifierType>(event->state & gtk_accelerator_get_default_mod_mask());
  GCharPtr accel(gtk_accelerator_name(gdk_keyval_to_lower(event->keyval), modifiers));
  return StrvPtr(gtk_application_get_actions_for_accel(app, accel.get()));
}

}  // namespace

MainWindow::MainWindow(GtkApplication* app, const LaunchSettings& settings, Events events)
    : app_(app), settings_(settings), events_(std::move(events)) {
  // First, as it starts WebKit's web process, which takes longest.
  page_ = std::make_unique<PageView>(
      settings_, PageView::Events{
                     [this] { events_.pageProcessEnded(); },
                     [this](const std::string& url) { events_.pageChanged(url); },
                     [this](bool full) { elementFullscreenChanged(full); },
                     [this](const std::string& message, bool confirm, std::function<void(bool)> answer) {
                       std::vector<DialogButton> buttons;
                       if (confirm) buttons = {{"_OK", 1, true}, {"_Cancel", 0}};
                       // Whose question it is as the heading, as the desktop's own dialogs have one.
                       showMessageDialog(window_, "Quorvel", message, buttons,
                                         [answer](int response) { answer(response == 1); });
                     },
                     [this](const DownloadReport& report) { notice_->show(report); },
                     [this](const std::string& text) { notice_->showProblem(text); }});
  notice_ = std::make_unique<NoticeBar>();
  buildWindow();
  showSpinner();
  // GTK matches the application's accelerators before the focused widget sees a
  // key. The editing keys go to the page first instead: WebKit hands a key the
  // page leaves back to the window, and then the accelerator runs.
  connections_.add(window_, "key-press-event", G_CALLBACK(keyPressed), this, G_CONNECT_SWAPPED);
}

MainWindow::~MainWindow() {
  connections_.disconnectAll();
  // Taken down now rather than at the end of the process, so that Quorvel ends as
  // soon as its server has.
  if (window_) gtk_widget_destroy(GTK_WIDGET(window_));
}

void MainWindow::buildWindow() {
  window_ = GTK_WINDOW(gtk_application_window_new(app_));
  gtk_window_set_title(window_, "Quorvel");
  gtk_application_window_set_show_menubar(GTK_APPLICATION_WINDOW(window_), TRUE);
  size_ = loadWindowState(settings_.supportDir + "/window-state");
  gtk_window_set_default_size(window_, size_.width, size_.height);
  if (size_.maximized) gtk_window_maximize(window_);
  // Closing only hides the window: the page and the server go on, silent until it
  // comes back.
  connections_.add(window_, "delete-event", G_CALLBACK(+[](MainWindow* self) -> gboolean {
                     self->page_->setHidden(true);
                     self->saveState();
                     gtk_widget_hide(GTK_WIDGET(self->window_));
                     return TRUE;
                   }),
                   this, G_CONNECT_SWAPPED);
  // GTK 3 keeps no default size in step with the user's resizing.
  connections_.add(window_, "configure-event", G_CALLBACK(+[](MainWindow* self) -> gboolean {
                     GdkWindow* surface = gtk_widget_get_window(GTK_WIDGET(self->window_));
                     auto flags = surface ? gdk_window_get_state(surface) : GdkWindowState{};
                     int size[2] = {};
                     gtk_window_get_size(self->window_, &size[0], &size[1]);
                     rememberSize(self->size_, size[0], size[1],
                                  flags & (GDK_WINDOW_STATE_MAXIMIZED | GDK_WINDOW_STATE_FULLSCREEN | GDK_WINDOW_STATE_TILED));
                     return FALSE;
                   }),
                   this, G_CONNECT_SWAPPED);
  // GTK may take the window down first when the display goes.
  connections_.add(window_, "destroy", G_CALLBACK(+[](MainWindow* self) { self->window_ = nullptr; }), this,
                   G_CONNECT_SWAPPED);
  connections_.add(window_, "map", G_CALLBACK(+[](MainWindow* self) {
                     self->page_->setHidden(false);
                     // Reopening maps the window again; only the first time counts.
                     if (!self->windowShownLogged_) logMilestone("window shown");
                     self->windowShownLogged_ = true;
                   }),
                   this, G_CONNECT_SWAPPED);

  // The spinner, the page, or a recovery view, one at a time.
  spinner_ = gtk_spinner_new();
  gtk_widget_set_size_request(spinner_, 32, 32);
  gtk_widget_set_halign(spinner_, GTK_ALIGN_CENTER);
  gtk_widget_set_valign(spinner_, GTK_ALIGN_CENTER);
  atk_object_set_name(gtk_widget_get_accessible(spinner_), "Starting Quorvel\u2026");
  stack_ = gtk_stack_new();
  gtk_widget_set_vexpand(stack_, TRUE);
  gtk_stack_add_named(GTK_STACK(stack_), spinner_, "spinner");
  gtk_stack_add_named(GTK_STACK(stack_), page_->widget(), "page");
  GtkWidget* content = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
  gtk_box_pack_start(GTK_BOX(content), page_->findBarWidget(), FALSE, FALSE, 0);
  gtk_box_pack_start(GTK_BOX(content), stack_, TRUE, TRUE, 0);
  gtk_box_pack_start(GTK_BOX(content), notice_->widget(), FALSE, FALSE, 0);
  gtk_container_add(GTK_CONTAINER(window_), content);
  gtk_widget_show_all(content);
}

void MainWindow::elementFullscreenChanged(bool full) {
  // An element in full screen (a video) fills the screen alone.
  gtk_application_window_set_show_menubar(GTK_APPLICATION_WINDOW(window_), !full);
  GtkWidget* notice = notice_->widget();
  if (full) {
    noticeWasShown_ = gtk_widget_get_visible(notice);
    gtk_widget_hide(notice);
  } else if (noticeWasShown_) {
    gtk_widget_show(notice);
  }
}

void MainWindow::present() {
  gtk_window_present(window_);
  if (gtk_stack_get_visible_child(GTK_STACK(stack_)) == page_->widget()) gtk_widget_grab_focus(page_->widget());
}

void MainWindow::showSpinner() {
  page_->closeFind();
  gtk_spinner_start(GTK_SPINNER(spinner_));
  gtk_stack_set_visible_child(GTK_STACK(stack_), spinner_);
}

void MainWindow::showPage() {
  gtk_spinner_stop(GTK_SPINNER(spinner_));
  gtk_stack_set_visible_child(GTK_STACK(stack_), page_->widget());
  // The first keys go to the page without a click first.
  gtk_widget_grab_focus(page_->widget());
}

void MainWindow::showRecovery(const std::string& title, const std::string& detail, const std::string& log,
                              std::vector<RecoveryView::Choice> choices) {
  gtk_spinner_stop(GTK_SPINNER(spinner_));
  page_->closeFind();
  // Made when first needed: most runs never show it, and its text view costs memory.
  if (!recoveryView_) {
    recoveryView_ = std::make_unique<RecoveryView>();
    gtk_stack_add_named(GTK_STACK(stack_), recoveryView_->widget(), "recovery");
    gtk_widget_show_all(recoveryView_->widget());
  }
  recoveryView_->show(title, detail, log, std::move(choices));
  gtk_stack_set_visible_child(GTK_STACK(stack_), recoveryView_->widget());
  recoveryView_->focusFirstChoice();
}

void MainWindow::toggleFullScreen() {
  GdkWindow* surface = gtk_widget_get_window(GTK_WIDGET(window_));
  if (surface && (gdk_window_get_state(surface) & GDK_WINDOW_STATE_FULLSCREEN)) {
    gtk_window_unfullscreen(window_);
  } else {
    gtk_window_fullscreen(window_);
  }
}

void MainWindow::saveState() {
  size_.maximized = gtk_window_is_maximized(window_);
  if (auto saved = saveWindowState(settings_.supportDir + "/window-state", size_); !saved) {
    g_warning("Couldn't save the window's size: %s", saved.error().message().c_str());
  }
}

gboolean MainWindow::keyPressed(MainWindow* self, GdkEventKey* event) {
  if (!PageView::isWebView(gtk_window_get_focus(self->window_))) return FALSE;
  // WebKit hands a key the page left back as a copy of the same event.
  const std::array<guint32, 4> press{event->time, event->hardware_keycode, event->keyval, event->state};
  if (press == self->keyForPage_) return self->keyLeftByPage(event);
  self->keyForPage_ = press;
  auto actions = actionsFor(self->app_, event);
  for (gchar** action = actions.get(); action && *action; ++action) {
    if (isPageFirst(*action)) return gtk_window_propagate_key_event(self->window_, event);
  }
  return FALSE;
}

bool MainWindow::keyLeftByPage(GdkEventKey* event) {
  // The key is marked to pass the web view once: it must go there to use the mark up, and then
  // only to the window's shortcuts. GTK's default would hand it to the web view once more, so
  // to the page, for ever where its shortcut matching misses (small keymaps on Wayland: on-screen
  // keyboards); here the accelerator is also looked up by the key's value.
  keyForPage_ = {};
  gtk_window_propagate_key_event(window_, event);
  if (gtk_window_activate_key(window_, event)) return true;
  auto actions = actionsFor(app_, event);
  if (actions && actions.get()[0] && g_str_has_prefix(actions.get()[0], "app.")) {
    g_action_group_activate_action(G_ACTION_GROUP(app_), actions.get()[0] + 4, nullptr);
    return true;
  }
  gtk_bindings_activate_event(G_OBJECT(window_), event);
  return true;
}

}  // namespace quorvel
