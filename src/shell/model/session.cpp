#include "shell/model/session.h"

namespace quorvel {

Session::Step Session::show(View view) {
  view_ = view;
  Step step;
  step.show = view;
  return step;
}

Session::Step Session::launch() {
  Step step = show(View::Spinner);
  step.startServer = true;
  return step;
}

Session::Step Session::startFinished(const Status& result) {
  Step step;
  if (quitting_) return step;
  // A restart that fails leaves the user the server-stopped view, its log and its
  // choices. At the first start there is nothing to go back to: the alert stands
  // over the spinner until it is answered, which quits.
  if (!result.ok() && ran_) {
    step = show(View::ServerStopped);
    step.why = result.error().message();
    return step;
  }
  if (!result.ok()) {
    step.failure = result.error().message();
    return step;
  }
  running_ = ran_ = true;
  step = show(View::Page);
  step.load = pageToComeBackTo();
  return step;
}

Session::Step Session::serverEnded() {
  if (quitting_ || !running_) return {};
  running_ = false;
  return show(View::ServerStopped);
}

Session::Step Session::pageProcessEnded(std::int64_t now) {
  const bool again = pageEndedAt_ >= 0 && now - pageEndedAt_ < pageCrashWindow;
  pageEndedAt_ = now;
  Step step;
  // Without a page (the server starts, or has stopped) the next load starts a new
  // process anyway.
  if (quitting_ || view_ != View::Page) return step;
  // Once is a mishap: the page comes back. Twice in a row says something is wrong.
  if (again) return show(View::PageStopped);
  step.load = pageToComeBackTo();
  return step;
}

Session::Step Session::restartAsked() {
  if (quitting_ || view_ != View::ServerStopped) return {};
  return launch();
}

Session::Step Session::reloadAsked() {
  if (quitting_ || view_ != View::PageStopped) return {};
  Step step = show(View::Page);
  step.load = pageToComeBackTo();
  return step;
}

Session::Step Session::quitAsked() {
  Step step;
  step.quit = !quitting_;
  quitting_ = true;
  return step;
}

void Session::pageChanged(const std::string& url) {
  if (!url.empty()) shownPage_ = url;
}

}  // namespace quorvel
