// Answers --help and --version, or computes the launch settings and runs the
// application around the delegate.

#include <gtk/gtk.h>

#include <unistd.h>

#include <cstdio>
#include <memory>

#include "base/glib_ptr.h"
#include "base/milestones.h"
#include "launch/application_id.h"
#include "launch/launch_settings.h"
#include "shell/app_delegate.h"
#include "shell/application.h"
#include "shell/model/command_line.h"
#include "shell/relaunch.h"

int main(int argc, char** argv) {
  using namespace quorvel;
  const std::string executable = startedFrom();
  LaunchInputs inputs = processLaunchInputs();
  CommandLineAnswer answer = answerCommandLine({argv + 1, argv + argc}, inputs.info);
  if (!answer.start) {
    std::fputs(answer.output.c_str(), answer.status == 0 ? stdout : stderr);
    return answer.status;
  }
  auto settings = computeLaunchSettings(inputs);
  if (!settings) {
    std::fprintf(stderr, "%s\n", settings.error().message().c_str());
    return 1;
  }
  // X11 takes WM_CLASS from it; the desktop entry's StartupWMClass names the id.
  g_set_prgname(kApplicationId);
  // The name notifications carry.
  g_set_application_name("Quorvel");
  logMilestone("settings ready");

  auto app = GRef<GtkApplication>::adopt(newApplication(kApplicationId));
  auto delegate = std::make_unique<AppDelegate>(app.get(), settings.value());
  // GApplication must not see the arguments: a second launch only hands over.
  char* args[] = {argv[0], nullptr};
  int status = g_application_run(G_APPLICATION(app.get()), 1, args);
  const bool again = delegate->relaunchRequested();
  delegate.reset();
  if (again) {
    std::string failure = relaunch(executable, argv[0], settings.value().inherited);
    g_warning("Couldn't relaunch Quorvel: %s", failure.c_str());
  }
  // The window state is saved and the server has stopped. The libraries' own
  // teardown at exit (WebKit's, GTK's, the GL driver's) keeps nothing and only
  // holds the end back; WebKit's processes end with this one.
  std::fflush(nullptr);
  _exit(status);
}
