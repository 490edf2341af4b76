#include "server/server_controller.h"

#include <fcntl.h>
#include <glib-unix.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <cerrno>
#include <mutex>

#include <glib.h>

#include "base/glib_ptr.h"
#include "base/milestones.h"
#include "base/unique_fd.h"
#include "server/http_probe.h"
#include "server/instance_lock.h"
#include "server/process_config.h"
#include "server/stale_cleanup.h"

namespace quorvel {
namespace {

using Clock = std::chrono::steady_clock;

AppError folderError(const std::string& path, int err) {
  return AppError("Quorvel couldn't create the folder " + path + ": " + g_strerror(err) + ".");
}

// A quit arrived while starting; nobody will see this sentence.
AppError cancelledError() { return AppError("Quorvel is quitting."); }

}  // namespace

std::string ServerExit::message(ChildProcess& ended) {
  if (ended.terminationReason() == ChildProcess::TerminationReason::Exit &&
      ended.terminationStatus() == newerDatabaseStatus) {
    return std::string(ServerController::newerDatabaseMessage);
  }
  return std::string(ServerController::stoppedWhileStartingMessage);
}

std::string ServerEnd::describe() const {
  if (reason == ChildProcess::TerminationReason::Exit) return "It exited with status " + std::to_string(status) + ".";
  const char* name = sigabbrev_np(status);
  return "It was stopped by signal " + (name ? "SIG" + std::string(name) : std::to_string(status)) + ".";
}

std::string ServerController::portTakenMessage(std::int64_t port) {
  return "Something else is already running on port " + std::to_string(port) +
         ". Quit it and relaunch.";
}

struct ServerController::Shared : std::enable_shared_from_this<Shared> {
  Shared(const LaunchSettings& s, ServerTimings t) : settings(s), timings(t) {}

  const LaunchSettings settings;
  const ServerTimings timings;
  const LaunchToken token;
  InstanceLock instanceLock;  // start work only; held until the controller goes
  bool logBegun = false;      // start work only

  std::mutex mutex;
  bool cancelled = false;                  // guarded by mutex
  std::shared_ptr<ChildProcess> process;   // guarded by mutex
  const UniqueFd cancelFd{eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)};  // readable once cancelled

  // Main thread only.
  std::function<void(const ServerEnd&)> onEnded;
  guint endWatch = 0;

  void cancel() {
    {
      std::lock_guard lock(mutex);
      cancelled = true;
    }
    eventfd_write(cancelFd.get(), 1);
  }
  void watchForTheEnd();

  Status run();
  Status waitUntilUp(ChildProcess& child, HttpProbe& probe, const HttpRequest& readiness);
  bool pause(const UniqueFd& output);
};

// The pause between readiness probes, cut short when the server writes to its log:
// it says so as it begins to listen, and a ready server should not wait out the
// rest of a pause. False when cancelled meanwhile.
bool ServerController::Shared::pause(const UniqueFd& output) {
  const auto until = Clock::now() + timings.readinessPause;
  pollfd fds[2] = {{cancelFd.get(), POLLIN, 0}, {output.get(), POLLIN, 0}};
  for (auto left = timings.readinessPause; left.count() > 0;
       left = std::chrono::ceil<std::chrono::milliseconds>(until - Clock::now())) {
    int ready = poll(fds, output ? 2 : 1, static_cast<int>(left.count()));
    if (ready < 0 && errno != EINTR) break;
    if (fds[0].revents) return false;
    if (ready > 0 && fds[1].revents) {
      // A burst of lines is one wake, and a chatty boot at most a probe per settle.
      constexpr std::chrono::milliseconds settle{10};
      if (poll(fds, 1, static_cast<int>(settle.count())) > 0) return false;
      char events[4096];
      while (read(output.get(), events, sizeof events) > 0) {
      }
      return true;
    }
  }
  std::lock_guard lock(mutex);
  return !cancelled;
}

Status ServerController::Shared::run() {
  if (g_mkdir_with_parents(settings.supportDir.c_str(), 0755) != 0) {
    return folderError(settings.supportDir, errno);
  }
  // Taken before anything touches the log or the PID file, so that a second
  // launch leaves the running instance's server alone.
  if (instanceLock.acquire(settings.supportDir + "/instance.lock") ==
      InstanceLock::Outcome::HeldElsewhere) {
    return AppError(std::string(alreadyRunningMessage));
  }
  if (g_mkdir_with_parents(settings.logDir.c_str(), 0755) != 0) {
    return folderError(settings.logDir, errno);
  }
  // A launch begins with an empty server log. A restart keeps why the last run
  // ended, and marks where the new run begins. Failure is not worth a report.
  const int keep = logBegun ? O_APPEND : O_TRUNC;
  UniqueFd log(open(settings.logFile.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | keep, 0644));
  if (log && logBegun) {
    CPtr<GDateTime, g_date_time_unref> now(g_date_time_new_now_local());
    const std::string line =
        "--- Quorvel restarted the server at " + takeString(g_date_time_format(now.get(), "%F %T")) + " ---\n";
    [[maybe_unused]] ssize_t written = write(log.get(), line.data(), line.size());
  }
  logBegun = true;

  killStaleServer(settings.pidFile, timings.staleWait, cancelFd.get());

  HttpProbe probe;
  HttpRequest readiness = token.request(settings.baseURL + "up");
  readiness.timeout = timings.probeTimeout;
  if (probe.status(readiness)) return AppError(portTakenMessage(settings.port));

  auto description = rubyProcess(settings, token, serverArguments(settings));
  if (!description) return description.error();

  std::shared_ptr<ChildProcess> child;
  {
    std::lock_guard lock(mutex);
    if (cancelled) return cancelledError();
    auto launched = ChildProcess::launch(description.value());
    if (!launched) return launched.error();
    child = process = launched.value();
  }
  logMilestone("server launched");
  return waitUntilUp(*child, probe, readiness);
}

Status ServerController::Shared::waitUntilUp(ChildProcess& child, HttpProbe& probe,
                                             const HttpRequest& readiness) {
  const auto deadline = Clock::now() + timings.readinessDeadline;
  UniqueFd output(inotify_init1(IN_CLOEXEC | IN_NONBLOCK));
  // Without the watch, the pauses are waited out in full.
  if (output && inotify_add_watch(output.get(), settings.logFile.c_str(), IN_MODIFY) < 0) output = UniqueFd();
  while (Clock::now() < deadline) {
    if (!child.isRunning()) {
      child.waitUntilExit();
      return AppError(ServerExit::message(child));
    }
    if (probe.status(readiness) == 200) {
      logMilestone("server ready");
      return success();
    }
    if (!pause(output)) return cancelledError();
  }
  return AppError(std::string(notReadyMessage));
}

ServerController::ServerController(const LaunchSettings& settings, ServerTimings timings)
    : shared_(std::make_shared<Shared>(settings, timings)) {}

void ServerController::Shared::watchForTheEnd() {
  std::shared_ptr<ChildProcess> child;
  {
    std::lock_guard lock(mutex);
    child = process;
  }
  if (!child) return;
  g_clear_handle_id(&endWatch, g_source_remove);
  using Owner = WeakOwner<Shared>;
  endWatch = g_unix_fd_add_full(
      G_PRIORITY_DEFAULT, child->pidfd(), G_IO_IN,
      [](int, GIOCondition, gpointer data) -> gboolean {
        auto self = static_cast<Owner*>(data)->get();
        if (!self) return G_SOURCE_REMOVE;
        self->endWatch = 0;
        std::shared_ptr<ChildProcess> ended;
        {
          std::lock_guard lock(self->mutex);
          if (!self->cancelled) ended = self->process;
        }
        if (!ended) return G_SOURCE_REMOVE;
        ended->kill();  // whatever it left in its group
        ended->waitForExit(std::chrono::milliseconds(0));
        if (self->onEnded) self->onEnded({ended->terminationReason(), ended->terminationStatus()});
        return G_SOURCE_REMOVE;
      },
      Owner(weak_from_this()).data(), Owner::free);
}

ServerController::~ServerController() {
  g_clear_handle_id(&shared_->endWatch, g_source_remove);
  shared_->cancel();
  if (worker_.joinable()) worker_.join();
}

void ServerController::onEnded(std::function<void(const ServerEnd&)> handler) {
  shared_->onEnded = std::move(handler);
}

const LaunchToken& ServerController::launchToken() const { return shared_->token; }

void ServerController::start(Completion completion) {
  // A start before has delivered its completion, so its thread has ended.
  if (worker_.joinable()) worker_.join();
  worker_ = std::thread([shared = shared_, completion = std::move(completion)]() mutable {
    struct Delivery {
      WeakOwner<Shared> owner;
      Completion completion;
      Status result;
    };
    auto* delivery = new Delivery{WeakOwner<Shared>(shared), std::move(completion), shared->run()};
    g_idle_add_full(
        G_PRIORITY_DEFAULT,
        [](gpointer data) -> gboolean {
          auto* d = static_cast<Delivery*>(data);
          // A controller destroyed meanwhile takes its pending completion with it.
          auto owner = d->owner.get();
          if (!owner) return G_SOURCE_REMOVE;
          if (d->result.ok()) owner->watchForTheEnd();
          d->completion(d->result);
          return G_SOURCE_REMOVE;
        },
        delivery, [](gpointer data) { delete static_cast<Delivery*>(data); });
  });
}

void ServerController::stop() {
  g_clear_handle_id(&shared_->endWatch, g_source_remove);
  shared_->cancel();
  std::shared_ptr<ChildProcess> child;
  {
    std::lock_guard lock(shared_->mutex);
    child = shared_->process;
  }
  if (child && child->isRunning()) {
    child->interrupt();
    if (!child->waitForExit(shared_->timings.stopGrace)) {
      child->kill();
      child->waitForExit(std::chrono::seconds(1));
    }
  }
  logMilestone("server stopped");
}

pid_t ServerController::serverPid() const {
  std::lock_guard lock(shared_->mutex);
  return shared_->process ? shared_->process->processIdentifier() : 0;
}

}  // namespace quorvel
