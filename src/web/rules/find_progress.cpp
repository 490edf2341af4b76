#include "web/rules/find_progress.h"

namespace quorvel {

void FindProgress::searched() {
  finds_.push_back(Request::Search);
  ++countsPending_;
  active_ = true;
  none_ = counted_ = false;
  index_ = 0;
}

void FindProgress::stepped(bool next) { finds_.push_back(next ? Request::Next : Request::Previous); }

void FindProgress::cleared() { active_ = false; }

void FindProgress::found() {
  if (finds_.empty()) return;
  Request request = finds_.front();
  finds_.pop_front();
  none_ = false;
  // The count is known by now: it was asked for right after the search, before any step.
  if (request == Request::Search || index_ == 0 || !counted_ || count_ == 0) {
    index_ = 1;
  } else if (count_ <= kMaxCount) {
    index_ = request == Request::Next ? index_ % count_ + 1 : (index_ + count_ - 2) % count_ + 1;
  }
}

void FindProgress::notFound() {
  if (finds_.empty()) return;
  finds_.pop_front();
  none_ = true;
  index_ = 0;
}

void FindProgress::counted(unsigned count) {
  if (countsPending_ > 0 && --countsPending_ > 0) return;  // an earlier text's count
  counted_ = true;
  count_ = count;
}

std::string FindProgress::text() const {
  if (!active_) return "";
  if (none_ || (counted_ && count_ == 0)) return "No matches";
  if (!counted_ || index_ == 0) return "";
  if (count_ > kMaxCount) return "More than " + std::to_string(kMaxCount) + " matches";
  return std::to_string(index_) + " of " + std::to_string(count_);
}

}  // namespace quorvel
