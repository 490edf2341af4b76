#pragma once
// Handing things to the desktop: URLs to their default handler, files to the
// file manager.

#include <string>

typedef struct _GtkWidget GtkWidget;

namespace quorvel {

// Opens `uri` with the desktop's default handler for its scheme or type. A URL the
// desktop cannot open is dropped, with a debug log line. `near` (may be null) lends
// its display for startup notification.
void openWithDesktop(const std::string& uri, GtkWidget* near = nullptr);

// Shows the file selected in the file manager (org.freedesktop.FileManager1 when a
// file manager offers it), else opens its folder with the default handler.
void showInFileManager(const std::string& path);

}  // namespace quorvel
