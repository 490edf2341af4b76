#pragma once
// Starting Quorvel again after an update has replaced its files: the executable at
// the path this process was started from, with the environment it was started with.

#include <string>

#include "launch/launch_settings.h"

namespace quorvel {

// This process's executable as a path, read at start, before a package can replace
// the file (after that, the kernel names the old one "(deleted)").
std::string startedFrom();

// Replaces this process with a fresh start of `executable`; the bus name, the
// instance lock and every other descriptor go with the old image. Returns only
// when that fails, with the reason.
std::string relaunch(const std::string& executable, const char* argv0, const Environment& environment);

}  // namespace quorvel
