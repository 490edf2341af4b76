#pragma once
// Start-up milestones, logged with g_debug in the "Quorvel" domain with the
// milliseconds since the process started (G_MESSAGES_DEBUG=Quorvel shows them).

namespace quorvel {

void logMilestone(const char* name);

// Milliseconds since the kernel started this process.
double millisecondsSinceProcessStart();

}  // namespace quorvel
