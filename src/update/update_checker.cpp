#include "update/update_checker.h"

#include <libsoup/soup.h>

#include <algorithm>
#include <cmath>

#include <glib/gstdio.h>

#include "base/glib_ptr.h"
#include "base/text_file.h"
#include "update/feed_fetch.h"
#include "update/package_installer.h"
#include "update/update_download.h"
#include "update/update_feed.h"
#include "update/update_signature.h"

namespace quorvel {
namespace {

constexpr guint kFetchTimeoutSeconds = 30;
constexpr guint kFirstAutomaticCheckSeconds = 5;
constexpr double kDefaultIntervalSeconds = 86400;
// As in the framework it stands in for: never more often than hourly.
constexpr double kMinimumIntervalSeconds = 3600;
constexpr const char* kSkippedFile = "/skipped-update";
constexpr const char* kNotInstalled = "Quorvel couldn't install the update.";

std::string thisRelease() {
  for (const char* path : {"/etc/os-release", "/usr/lib/os-release"}) {
    if (auto text = readUtf8File(path, 64 * 1024)) return releaseFromOsRelease(*text);
  }
  return {};
}

enum class Mode { Quiet, Answer };

}  // namespace

struct UpdateChecker::State : std::enable_shared_from_this<State> {
  std::string feedURL;           // empty: this copy has no feed
  std::string currentVersion;    // CFBundleVersion
  std::string shownVersion;      // CFBundleShortVersionString, else the above
  std::string skippedPath;
  std::string release;           // ID-VERSION_ID of the running system
  std::optional<PublicKey> key;  // SUPublicEDKey
  UpdateView view;
  std::optional<UpdateVerdict> offered;
  std::string offeredVersion;
  std::unique_ptr<UpdateDownload> download;
  std::unique_ptr<PackageInstaller> installer;
  GRef<SoupSession> session_;    // made at the first fetch: a copy that never checks makes none
  GRef<GCancellable> running;    // set while a check is under way
  Mode mode = Mode::Quiet;
  guint timer = 0;
  guint interval = 0;            // seconds between automatic checks

  ~State() {
    if (running) g_cancellable_cancel(running.get());
    g_clear_handle_id(&timer, g_source_remove);
  }

  SoupSession* session() {
    if (!session_) {
      session_ = GRef<SoupSession>::adopt(soup_session_new());
      soup_session_set_timeout(session_.get(), kFetchTimeoutSeconds);
    }
    return session_.get();
  }
  void check(Mode requested);
  void finish(const Result<UpdateVerdict>& verdict);
  void fail(const std::string& reason) { finish(AppError(reason)); }
  void answer(const Result<UpdateVerdict>& verdict);
  void offer(const UpdateVerdict& verdict);
  void install();
  void downloaded(const Result<std::string>& path);
  void installed(const std::string& path, const InstallOutcome& outcome);
  void present(const std::string& primary, const std::string& secondary,
               UpdateMessage::Action action = UpdateMessage::Action::None, const std::string& target = {}) {
    if (view.message) view.message({primary, secondary, action, target});
  }
  void schedule(guint seconds);
};

void UpdateChecker::State::check(Mode requested) {
  // An update on its way in has its own dialog.
  if (download || installer) return;
  if (running) {
    // A quiet check under way answers aloud if the user asked meanwhile.
    if (requested == Mode::Answer) mode = Mode::Answer;
    return;
  }
  mode = requested;
  if (feedURL.empty()) {
    if (mode == Mode::Answer) {
      present("Quorvel can't check for updates.", "This copy of Quorvel has no update feed.");
    }
    return;
  }
  auto url = checkFeedURL(feedURL);
  if (!url) {
    answer(url.error());
    return;
  }
  auto message = GRef<SoupMessage>::adopt(soup_message_new("GET", url.value().c_str()));
  if (!message) {
    answer(AppError("The update feed address is not a valid URL."));
    return;
  }
  running = GRef<GCancellable>::adopt(g_cancellable_new());
  // A checker gone meanwhile ends the chain.
  fetchFeed(session(), message.get(), running.get(), kMaxFeedBytes,
            [owner = WeakOwner<State>(weak_from_this())](const Result<std::string>& body) {
              auto state = owner.get();
              if (!state) return;
              if (!body) return state->fail(body.error().message());
              state->finish(judgeFeed(state->currentVersion, body.value(), state->release));
            });
}

void UpdateChecker::State::schedule(guint seconds) {
  using Owner = WeakOwner<State>;
  timer = g_timeout_add_seconds_full(
      G_PRIORITY_DEFAULT_IDLE, seconds,
      [](gpointer data) -> gboolean {
        if (auto state = static_cast<Owner*>(data)->get()) {
          state->timer = 0;
          state->check(Mode::Quiet);
          state->schedule(state->interval);
        }
        return G_SOURCE_REMOVE;
      },
      Owner(weak_from_this()).data(), Owner::free);
}

void UpdateChecker::State::finish(const Result<UpdateVerdict>& verdict) {
  running.reset();
  answer(verdict);
}

void UpdateChecker::State::answer(const Result<UpdateVerdict>& verdict) {
  if (!verdict) {
    if (mode == Mode::Answer) {
      present("Quorvel couldn't check for updates.", verdict.error().message());
    } else {
      g_message("Automatic update check failed: %s", verdict.error().message().c_str());
    }
    return;
  }
  const UpdateVerdict& v = verdict.value();
  if (v.kind == UpdateVerdict::Kind::UpToDate) {
    if (mode == Mode::Answer) {
      present("Quorvel is up to date.", "Version " + shownVersion + " is the newest version available.");
    }
    return;
  }
  const std::string skipped = trimWhitespace(readUtf8File(skippedPath, 1024).value_or(""));
  if (skipKeepsQuiet(mode == Mode::Quiet, v.newest.version, skipped)) {
    g_message("Automatic update check: version %s was skipped.", v.newest.version.c_str());
    return;
  }
  offer(v);
}

void UpdateChecker::State::offer(const UpdateVerdict& v) {
  offered = v;
  offeredVersion = v.newest.shortVersion.empty() ? v.newest.version : v.newest.shortVersion;
  UpdateOffer o{offeredVersion, "Quorvel " + offeredVersion + " is available",
                "You have " + shownVersion + ". Install the update now?", {}, v.newest.description, {}};
  if (isFetchableURL(v.newest.releaseNotesLink)) o.notesURL = v.newest.releaseNotesLink;
  if (auto why = whyNotInstallable(key, v.enclosure)) {
    o.downloadURL = v.enclosure.url.empty() ? v.newest.downloadURL : v.enclosure.url;
    o.secondary = "You have " + shownVersion + ". " + *why + " Download it from its page instead?";
  }
  if (view.offer) view.offer(o);
}

void UpdateChecker::State::install() {
  if (!offered || download || installer) return;
  const Enclosure& e = offered->enclosure;
  auto signature = parseSignature(e.signature);
  auto length = parseLength(e.length);
  // The offer said so already; nothing unverifiable is fetched.
  if (whyNotInstallable(key, e) || !signature || !length) return;
  const std::string status = "Downloading Quorvel " + offeredVersion + "…";
  if (view.progress) view.progress(status, 0, true);
  const WeakOwner<State> weak(weak_from_this());
  download = std::make_unique<UpdateDownload>(
      session(), e.url, *length, *key, *signature,
      UpdateDownload::Events{[weak, status](double fraction) {
                               auto self = weak.get();
                               if (self && self->view.progress) self->view.progress(status, fraction, true);
                             },
                             [weak](const Result<std::string>& path) {
                               if (auto self = weak.get()) self->downloaded(path);
                             }});
}

void UpdateChecker::State::downloaded(const Result<std::string>& path) {
  auto finished = std::move(download);  // goes when this returns, not while it is calling us
  if (!path) {
    g_message("The update was not installed: %s", path.error().message().c_str());
    if (view.progressEnded) view.progressEnded();
    present(kNotInstalled, path.error().message());
    return;
  }
  const std::string status = "Installing Quorvel " + offeredVersion + "…";
  if (view.progress) view.progress(status, -1, false);
  const WeakOwner<State> weak(weak_from_this());
  const std::string file = path.value();
  installer = std::make_unique<PackageInstaller>(
      file, PackageInstaller::Events{[weak, status](double fraction) {
                                       auto self = weak.get();
                                       if (self && self->view.progress) self->view.progress(status, fraction, false);
                                     },
                                     [weak, file](const InstallOutcome& outcome) {
                                       if (auto self = weak.get()) {
                                         self->installed(file, outcome);
                                       } else {
                                         g_unlink(file.c_str());
                                       }
                                     }});
}

void UpdateChecker::State::installed(const std::string& path, const InstallOutcome& outcome) {
  auto finished = std::move(installer);
  if (view.progressEnded) view.progressEnded();
  using Kind = InstallOutcome::Kind;
  if (outcome.kind == Kind::NoPackageKit) {
    // Kept for the user to install some other way.
    present(kNotInstalled, outcome.message + " The downloaded package is kept for you to install.",
            UpdateMessage::Action::ShowFile, path);
    return;
  }
  g_unlink(path.c_str());
  if (outcome.kind == Kind::Failed) {
    g_message("The update was not installed: %s", outcome.message.c_str());
    present(kNotInstalled, outcome.message);
    return;
  }
  present("Quorvel " + offeredVersion + " is installed.", "Relaunch Quorvel to use the new version.",
          UpdateMessage::Action::Relaunch);
}

UpdateChecker::UpdateChecker(const InfoDictionary& info, const std::string& supportDir, UpdateView view)
    : state_(std::make_shared<State>()) {
  state_->view = std::move(view);
  state_->skippedPath = supportDir + kSkippedFile;
  state_->release = thisRelease();
  state_->key = parsePublicKey(infoString(info, "SUPublicEDKey").value_or(""));
  state_->feedURL = infoString(info, "SUFeedURL").value_or("");
  state_->currentVersion = infoString(info, "CFBundleVersion").value_or("0");
  state_->shownVersion = infoString(info, "CFBundleShortVersionString").value_or(state_->currentVersion);

  if (infoBool(info, "SUEnableAutomaticChecks").value_or(false) && !state_->feedURL.empty()) {
    double interval = infoNumber(info, "SUScheduledCheckInterval").value_or(kDefaultIntervalSeconds);
    if (!std::isfinite(interval)) interval = kDefaultIntervalSeconds;
    state_->interval = static_cast<guint>(std::clamp(interval, kMinimumIntervalSeconds, 365.0 * 86400));
    state_->schedule(kFirstAutomaticCheckSeconds);
  }
}

UpdateChecker::~UpdateChecker() = default;

void UpdateChecker::checkForUpdates() { state_->check(Mode::Answer); }

void UpdateChecker::installUpdate() { state_->install(); }

void UpdateChecker::skipVersion() {
  if (!state_->offered) return;
  if (auto saved = writeFileAtomically(state_->skippedPath, state_->offered->newest.version + "\n"); !saved) {
    g_warning("Couldn't remember the skipped version: %s", saved.error().message().c_str());
  }
}

void UpdateChecker::cancel() {
  if (!state_->download) return;
  state_->download.reset();
  if (state_->view.progressEnded) state_->view.progressEnded();
}

}  // namespace quorvel
