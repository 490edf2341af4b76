#pragma once
// Where a download is written while it arrives, and how it takes its place in the
// folder: under a hidden temporary name first, then moved to the first free
// numbered name without ever replacing a file, so that nothing is lost and a
// failed download leaves nothing behind.

#include <string>

#include "base/app_error.h"

namespace quorvel {

// A new, empty "FOLDER/.NAME.XXXXXX.part" (making the folder first) for a name
// from safeDownloadName; its path, or the reason it could not be made.
Result<std::string> makeDownloadTemporary(const std::string& folder, const std::string& name);

// Renames `from` to `to` unless `to` exists (EEXIST then); 0 or -1 and errno, as
// rename(2). EINVAL means this file system cannot promise that.
using Renamer = int (*)(const char* from, const char* to);
int renameWithoutReplacing(const char* from, const char* to);  // renameat2(RENAME_NOREPLACE)

struct PlacedDownload {
  std::string name;  // numberedName(name, n) for the first free n
  std::string path;  // FOLDER/name
};

// Moves a finished temporary into `folder` under the first free numbered form of
// `name`. On failure the temporary is removed and the reason (as strerror says
// it) comes back; an existing file is never replaced either way.
Result<PlacedDownload> moveDownloadIntoPlace(const std::string& temporary, const std::string& folder,
                                             const std::string& name, Renamer rename = renameWithoutReplacing);

// Removes the temporaries that downloads cut short by a quit or a crash left in
// `folder`: regular files named exactly ".NAME.XXXXXX.part", or that with WebKit's
// ".wkdownload" after it, nothing else.
void removeLeftoverDownloads(const std::string& folder);

}  // namespace quorvel
