#pragma once
// Names for downloaded files: never a path, never hidden, never one that is taken.

#include <string>

namespace quorvel {

// The name a server suggested, made safe to use in a folder: only its last path
// component, no leading dots, no control characters, short enough for its
// temporary (and WebKit's file beside it) and numbered
// forms to fit NAME_MAX; "download" if nothing is left.
std::string safeDownloadName(const std::string& suggested);

// The `n`-th choice for a file named `name`: the name itself, then "stem (1).ext",
// "stem (2).ext", ... (the extension being what follows the last dot).
std::string numberedName(const std::string& name, int n);

}  // namespace quorvel
