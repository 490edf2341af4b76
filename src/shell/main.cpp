// Computes the launch settings, then runs the application around the delegate.

#include <gtk/gtk.h>

#include <cstdio>
#include <memory>

#include "base/glib_ptr.h"
#include "base/milestones.h"
#include "launch/launch_settings.h"
#include "shell/app_delegate.h"

int main(int, char** argv) {
  using namespace quorvel;
  auto settings = computeLaunchSettings(processLaunchInputs());
  if (!settings) {
    std::fprintf(stderr, "%s\n", settings.error().message().c_str());
    return 1;
  }
  installLaunchSettings(std::move(settings).value());
  logMilestone("settings ready");

  auto app = GRef<GtkApplication>::adopt(gtk_application_new("app.quorvel.Quorvel", G_APPLICATION_DEFAULT_FLAGS));
  auto delegate = std::make_unique<AppDelegate>(app.get(), launchSettings());
  // Quorvel takes no command-line arguments.
  char* args[] = {argv[0], nullptr};
  int status = g_application_run(G_APPLICATION(app.get()), 1, args);
  delegate.reset();
  return status;
}
