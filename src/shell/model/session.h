#pragma once
// The rules of one Quorvel session, without a window: what the window shows, which
// page it loads and when the server starts, as the start result, the server's end,
// the page's web process ending and the user's choices come in. The GTK side only
// carries out each Step.

#include <cstdint>
#include <optional>
#include <string>

#include "base/app_error.h"

namespace quorvel {

class Session {
 public:
  enum class View { Spinner, Page, ServerStopped, PageStopped };

  // What the window does after an input; empty fields: nothing changes.
  struct Step {
    std::optional<View> show;
    std::optional<std::string> load;     // load this page, the launch token's cookie first
    bool startServer = false;
    std::optional<std::string> failure;  // "Quorvel couldn't start" with this; answered, it quits
    std::string why;                     // for the server-stopped view: a restart that failed, and why
    bool quit = false;

    bool operator==(const Step&) const = default;
  };

  // A page process that ends again within this many microseconds is not reloaded.
  static constexpr std::int64_t pageCrashWindow = 30'000'000;

  explicit Session(std::string entryPage) : entryPage_(std::move(entryPage)) {}

  Step launch();                                   // the server starts; the spinner shows
  Step startFinished(const Status& result);
  Step serverEnded();
  Step pageProcessEnded(std::int64_t nowMicroseconds);  // monotonic
  Step restartAsked();                             // "Restart Server"
  Step reloadAsked();                              // "Reload" after the page stopped
  Step quitAsked();
  // The page the web view shows, or is on its way to; empty ones are not kept.
  void pageChanged(const std::string& url);

  View view() const { return view_; }
  // Settings, Find and Print act on the page: only while one is shown.
  bool pageCommandsEnabled() const { return view_ == View::Page && !quitting_; }

 private:
  Step show(View view);
  const std::string& pageToComeBackTo() const { return shownPage_.empty() ? entryPage_ : shownPage_; }

  const std::string entryPage_;
  std::string shownPage_;
  View view_ = View::Spinner;
  bool running_ = false;  // a server that started is up
  bool ran_ = false;      // one has, in this launch: a failed start is then a restart's
  bool quitting_ = false;
  std::int64_t pageEndedAt_ = -1;
};

}  // namespace quorvel
