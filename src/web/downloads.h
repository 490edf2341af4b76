#pragma once
// Saves downloads to the user's download folder: written under a hidden temporary
// name first and renamed when complete, never over a file already there, so a
// failed or cancelled download leaves nothing behind and nothing is lost. Only
// the server's files are saved: a foreign frame's download is cancelled.

#include <functional>
#include <memory>
#include <string>

#include "base/glib_ptr.h"
#include "launch/local_origin.h"

typedef struct _WebKitWebContext WebKitWebContext;

namespace quorvel {

struct DownloadReport {
  bool saved = false;
  std::string name;    // the file's name in the folder (or the suggested one on failure)
  std::string path;    // where it was saved
  std::string folder;  // the folder's name as a person reads it, e.g. "Downloads"
  std::string reason;  // why it failed
};

class Downloads {
 public:
  using Report = std::function<void(const DownloadReport&)>;
  Downloads(WebKitWebContext* context, LocalOrigin origin, Report report);
  Downloads(const Downloads&) = delete;
  Downloads& operator=(const Downloads&) = delete;

 private:
  LocalOrigin origin_;
  std::shared_ptr<Report> report_;
  SignalConnections connections_;
};

}  // namespace quorvel
