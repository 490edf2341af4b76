#include "shell/app_delegate.h"

#include <glib-unix.h>
#include <gtk/gtk.h>

#include <csignal>

#include "base/milestones.h"
#include "base/text_file.h"
#include "launch/application_id.h"
#include "shell/model/command_line.h"
#include "shell/message_dialog.h"
#include "web/desktop_handoff.h"

namespace quorvel {

AppDelegate::AppDelegate(GtkApplication* app, const LaunchSettings& settings)
    : app_(app),
      settings_(settings),
      server_(settings),
      updater_(settings.info, settings.supportDir,
               UpdateView{[this](const UpdateMessage& message) { showUpdateMessage(message); },
                          [this](const UpdateOffer& offer) { showUpdateOffer(offer); },
                          [this](const std::string& status, double fraction, bool cancellable) {
                            showUpdateProgress(status, fraction, cancellable);
                          },
                          [this] { updateProgress_.reset(); }}),
      session_(settings.baseURL) {
  connections_.add(app, "will-start-up", G_CALLBACK(+[](AppDelegate* self) { self->applicationWillFinishLaunching(); }),
                   this, G_CONNECT_SWAPPED);
  connections_.add(app, "activate", G_CALLBACK(+[](AppDelegate* self) {
                     if (self->window_) {
                       self->applicationShouldHandleReopen();
                     } else {
                       self->applicationDidFinishLaunching();
                     }
                   }),
                   this, G_CONNECT_SWAPPED);
  connections_.add(app, "shutdown", G_CALLBACK(+[](AppDelegate* self) { self->applicationWillTerminate(); }), this,
                   G_CONNECT_SWAPPED);
  // SIGINT, SIGTERM and SIGHUP quit in order, so that the server is stopped too.
  const int quitSignals[] = {SIGINT, SIGTERM, SIGHUP};
  for (int i = 0; i < 3; ++i) {
    signalSources_[i] = g_unix_signal_add(
        quitSignals[i],
        [](gpointer self) -> gboolean {
          auto* delegate = static_cast<AppDelegate*>(self);
          delegate->apply(delegate->session_.quitAsked());
          return G_SOURCE_CONTINUE;
        },
        this);
  }
}

AppDelegate::~AppDelegate() {
  for (unsigned& source : signalSources_) g_clear_handle_id(&source, g_source_remove);
}

void AppDelegate::applicationWillFinishLaunching() {
  // The server boots while GTK starts up and the window is built. GApplication
  // emits the first "activate" right after start-up, before its main loop runs, so
  // the completion, which comes through the main loop, always finds the window. The
  // controller owns the pending completion and drops it if it goes first.
  server_.onEnded([this](const ServerEnd& end) {
    serverEnd_ = std::make_unique<ServerEnd>(end);
    apply(session_.serverEnded());
  });
  apply(session_.launch());
}

void AppDelegate::applicationDidFinishLaunching() {
  // Closing the window must not quit: only Quit (or a signal) ends Quorvel.
  g_application_hold(G_APPLICATION(app_));
  // Asked first: the answer usually comes before the window is first drawn.
  darkStyle_ = std::make_unique<DarkStyle>(g_application_get_dbus_connection(G_APPLICATION(app_)));
  window_ = std::make_unique<MainWindow>(
      app_, settings_,
      MainWindow::Events{[this] { apply(session_.pageProcessEnded(g_get_monotonic_time())); },
                         [this](const std::string& url) { session_.pageChanged(url); }});
  // The bundle carries its own icon, so that an uninstalled copy shows it too.
  std::string icons = settings_.resources + "/icons";
  gtk_icon_theme_append_search_path(gtk_icon_theme_get_default(), icons.c_str());
  gtk_window_set_default_icon_name(kApplicationId);
  buildMenu();
  apply({});
  window_->present();
}

void AppDelegate::apply(const Session::Step& step) {
  if (step.show && window_) {
    switch (*step.show) {
      case Session::View::Spinner: window_->showSpinner(); break;
      case Session::View::Page: window_->showPage(); break;
      case Session::View::ServerStopped: showServerStopped(step.why); break;
      case Session::View::PageStopped: showPageStopped(); break;
    }
  }
  if (step.startServer) server_.start([this](const Status& result) { apply(session_.startFinished(result)); });
  if (step.load && window_) window_->page().load(server_.launchToken(), *step.load);
  if (step.failure) {
    g_message("Quorvel couldn't start: %s", step.failure->c_str());
    showMessageDialog(window_ ? window_->window() : nullptr, "Quorvel couldn't start", *step.failure, {},
                      [this](int) { apply(session_.quitAsked()); });
  }
  if (step.quit) {
    logMilestone("quit requested");
    g_application_quit(G_APPLICATION(app_));
  }
  enablePageCommands(session_.pageCommandsEnabled());
}

void AppDelegate::showServerStopped(const std::string& why) {
  window_->showRecovery("The server stopped unexpectedly.", !why.empty() ? why : serverEnd_ ? serverEnd_->describe() : "",
                        lastLines(settings_.logFile, 15),
                        {{"_Restart Server", [this] { apply(session_.restartAsked()); }},
                         {"_Show Log", [this] { showServerLog(); }},
                         {"_Quit", [this] { apply(session_.quitAsked()); }}});
}

void AppDelegate::showPageStopped() {
  window_->showRecovery("The page stopped responding.", {}, {},
                        {{"_Reload", [this] { apply(session_.reloadAsked()); }},
                         {"_Quit", [this] { apply(session_.quitAsked()); }}});
}

void AppDelegate::applicationShouldHandleReopen() { window_->present(); }

void AppDelegate::applicationWillTerminate() {
  if (window_) {
    window_->saveState();
    window_.reset();
  }
  server_.stop();
}

void AppDelegate::showServerLog() {
  openWithDesktop(takeString(g_filename_to_uri(settings_.logFile.c_str(), nullptr, nullptr)),
                  GTK_WIDGET(window_->window()));
}

void AppDelegate::showAbout() {
  std::string version = versionText(settings_.info);
  gtk_show_about_dialog(window_->window(), "program-name", "Quorvel", "version", version.c_str(), "comments",
                        "A local web application as a desktop program.", "logo-icon-name", kApplicationId, nullptr);
}

void AppDelegate::showUpdateMessage(const UpdateMessage& message) {
  GtkWindow* parent = window_ ? window_->window() : nullptr;
  switch (message.action) {
    case UpdateMessage::Action::None: showMessageDialog(parent, message.primary, message.secondary, {}, nullptr); break;
    case UpdateMessage::Action::ShowFile:
      showMessageDialog(parent, message.primary, message.secondary, {{"Close", 0}, {"Show in Folder", 1}},
                        [path = message.target](int response) {
                          if (response == 1) showInFileManager(path);
                        });
      break;
    case UpdateMessage::Action::Relaunch:
      // "Later" leaves this copy running until the user quits.
      showMessageDialog(parent, message.primary, message.secondary, {{"Later", 0}, {"Relaunch Quorvel", 1}},
                        [this](int response) {
                          if (response != 1) return;
                          relaunch_ = true;
                          apply(session_.quitAsked());
                        });
      break;
  }
}

void AppDelegate::showUpdateOffer(const UpdateOffer& offer) {
  GtkWindow* parent = window_ ? window_->window() : nullptr;
  ::quorvel::showUpdateOffer(parent, offer, [this, url = offer.downloadURL](OfferAnswer answer) {
    switch (answer) {
      case OfferAnswer::Install: updater_.installUpdate(); break;
      case OfferAnswer::Download: openWithDesktop(url); break;
      case OfferAnswer::Skip: updater_.skipVersion(); break;
      case OfferAnswer::RemindLater: break;
    }
  });
}

void AppDelegate::showUpdateProgress(const std::string& status, double fraction, bool cancellable) {
  if (!updateProgress_) {
    GtkWindow* parent = window_ ? window_->window() : nullptr;
    updateProgress_ = std::make_unique<UpdateProgress>(parent, [this] { updater_.cancel(); });
  }
  updateProgress_->set(status, fraction, cancellable);
}

}  // namespace quorvel
