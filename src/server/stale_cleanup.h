#pragma once
// Ends a server left running by an earlier Quorvel, found through its PID file.

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

namespace quorvel {

inline constexpr std::string_view kServerExecutableSuffix = "/Contents/Resources/ruby/bin/ruby";

// An optionally signed decimal that fits 32 bits, after trimming white space.
std::optional<int> parsePidFile(std::string_view text);

// If the PID file names a live process whose executable is an application bundle's
// interpreter (also one since deleted, as after an update), asks it to terminate
// (SIGTERM, to its whole process group when it leads one) and waits up to `wait`
// for it to go, or until `cancelFd` becomes readable. The PID file is removed
// whenever it held a valid number. Never fails.
void killStaleServer(const std::string& pidFile, std::chrono::milliseconds wait = std::chrono::seconds(5),
                     int cancelFd = -1);

}  // namespace quorvel
