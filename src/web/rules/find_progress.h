#pragma once
// What the find bar says: "3 of 12", "No matches". WebKitGTK reports a match
// found and the number of matches, but not which match it is, so the position
// is followed here: a new search starts at the top of the page (the find bar
// clears the page's selection first), and each step moves one match on or back,
// wrapping as the search does. Answers come in the order the requests went.

#include <deque>
#include <string>

namespace quorvel {

class FindProgress {
 public:
  // The most matches counted; more are "More than 1000 matches".
  static constexpr unsigned kMaxCount = 1000;

  // Requests, as they are sent.
  void searched();          // a new text, searched from the top
  void stepped(bool next);  // the next or the previous match of the same text
  void cleared();           // no text: nothing to say
  // Answers.
  void found();
  void notFound();
  void counted(unsigned count);  // larger than kMaxCount: more than that

  std::string text() const;

 private:
  enum class Request { Search, Next, Previous };
  std::deque<Request> finds_;  // sent, not answered yet
  int countsPending_ = 0;
  bool active_ = false, none_ = false, counted_ = false;
  unsigned index_ = 0, count_ = 0;
};

}  // namespace quorvel
