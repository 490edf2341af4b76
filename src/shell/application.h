#pragma once
// Quorvel's GtkApplication. It adds one signal, "will-start-up": emitted in the
// primary instance only (once GApplication's single-instance check has made it so;
// a second launch never gets it), just before GTK's own start-up opens the display
// and loads the theme. Work started there overlaps all of GTK's.

typedef struct _GtkApplication GtkApplication;

namespace quorvel {

GtkApplication* newApplication(const char* applicationId);

}  // namespace quorvel
