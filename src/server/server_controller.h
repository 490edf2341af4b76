#pragma once
// Owns the one server child: prepares its folders, clears a stale server, refuses a
// taken port, launches it, waits until it answers, and stops it at quit.

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <thread>

#include "base/app_error.h"
#include "launch/launch_settings.h"
#include "server/child_process.h"
#include "launch/launch_token.h"

namespace quorvel {

// Turns the way the child ended during start-up into the sentence the user sees.
struct ServerExit {
  static constexpr int newerDatabaseStatus = 3;
  static std::string message(ChildProcess& ended);
};

// How the server ended after start-up, for the window to say.
struct ServerEnd {
  ChildProcess::TerminationReason reason;
  int status;  // the exit status, or the signal's number
  // "It exited with status 1." or "It was stopped by signal SIGKILL."
  std::string describe() const;
};

struct ServerTimings {
  std::chrono::milliseconds readinessDeadline{60'000};
  std::chrono::milliseconds readinessPause{250};
  std::chrono::milliseconds probeTimeout{1'000};
  std::chrono::milliseconds stopGrace{5'000};
  std::chrono::milliseconds staleWait{5'000};
};

class ServerController {
 public:
  static constexpr std::string_view notReadyMessage =
      "The server didn't start within 60 seconds. See ~/Library/Logs/Quorvel/server.log.";
  static constexpr std::string_view newerDatabaseMessage =
      "This database was last opened by a newer Quorvel. Install that Release or a newer one.";
  static constexpr std::string_view stoppedWhileStartingMessage =
      "The server stopped while starting. See ~/Library/Logs/Quorvel/server.log.";
  static constexpr std::string_view alreadyRunningMessage = "Quorvel is already running.";
  static std::string portTakenMessage(std::int64_t port);

  using Completion = std::function<void(const Status&)>;

  explicit ServerController(const LaunchSettings& settings, ServerTimings timings = {});
  // Ends the start work (without stopping a launched child) and drops a completion
  // not yet delivered.
  ~ServerController();
  ServerController(const ServerController&) = delete;
  ServerController& operator=(const ServerController&) = delete;

  const LaunchToken& launchToken() const;

  // Runs the start work on a thread of its own; the completion is called exactly
  // once, on the main thread (the default GLib main context). After a server that
  // started has ended, start() runs the whole start again, with the same token;
  // the server log is then kept and the new run's output follows a line saying so.
  void start(Completion completion);

  // Called on the main thread as soon as a server that started ends (it is reaped
  // at once, and any process it left in its group is killed), unless stop() came
  // first.
  void onEnded(std::function<void(const ServerEnd&)> handler);

  // SIGINT, up to stopGrace for the child to end, then SIGKILL to its process
  // group. Also cancels a start still under way, its stale-server wait included:
  // no child is launched after stop() has begun.
  void stop();

  // The launched child's PID, or 0.
  pid_t serverPid() const;

 private:
  struct Shared;
  std::shared_ptr<Shared> shared_;
  std::thread worker_;
};

}  // namespace quorvel
