#pragma once
// Follows the desktop's light or dark style, live: GTK's
// gtk-application-prefer-dark-theme darkens the window, and WebKit hands it to the
// page as prefers-color-scheme. The Settings portal is asked first and followed
// through its SettingChanged signal; where no portal answers, GNOME's color-scheme
// setting when its schema is installed. Dark sets it, light clears it, and no
// preference (or no answer) leaves the value GTK had at start, which a user may have
// set in GTK's settings.ini on a desktop that has no colour scheme setting.

#include "base/glib_ptr.h"
#include "shell/model/color_scheme.h"

#include <gio/gio.h>

namespace quorvel {

class DarkStyle {
 public:
  // `bus` is the session bus, or null when there is none.
  explicit DarkStyle(GDBusConnection* bus);
  ~DarkStyle();
  DarkStyle(const DarkStyle&) = delete;
  DarkStyle& operator=(const DarkStyle&) = delete;

 private:
  void askPortal(bool readOne);  // else Read
  void followGSettings();
  void apply(ColorScheme scheme);

  bool darkAtStart_ = false;  // gtk-application-prefer-dark-theme before any answer
  GRef<GDBusConnection> bus_;
  GRef<GCancellable> cancellable_ = GRef<GCancellable>::adopt(g_cancellable_new());
  const WeakAnchor<DarkStyle> anchor_{this};  // held weakly by the portal's answers
  bool readOne_ = true;
  unsigned subscription_ = 0;
  GRef<GSettings> settings_;
  SignalConnections connections_;
};

}  // namespace quorvel
