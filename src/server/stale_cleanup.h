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
// interpreter, asks it to terminate (SIGTERM) and waits up to `wait` for it to go.
// The PID file is removed whenever it held a valid number. Never fails.
void killStaleServer(const std::string& pidFile,
                     std::chrono::milliseconds wait = std::chrono::seconds(5));

}  // namespace quorvel
