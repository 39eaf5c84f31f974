// Questions the launcher puts to the backend when it must decide at once: each waits under its
// own id until the backend's answer or the deadline settles it, whichever comes first.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <utility>

// How long a question waits for the backend before its default answer settles it.
constexpr unsigned kQuestionDeadlineMs = 400;

template <class Answer>
class PendingQuestions {
 public:
  using Decision = std::function<void(Answer)>;

  // Ids are the prefix followed by a counter that starts at 1: "n1", "n2", ...
  explicit PendingQuestions(char prefix) : prefix_(prefix) {}

  // Remembers a decision under a new id and returns the id.
  std::string add(Decision decision) {
    std::string id = prefix_ + std::to_string(++seq_);
    pending_.emplace(id, std::move(decision));
    return id;
  }

  // Runs the decision of a pending id with the answer and forgets the id; an id that is not
  // pending (answered already, timed out, never asked) does nothing. False in that case.
  bool resolve(const std::string& id, Answer answer) {
    auto it = pending_.find(id);
    if (it == pending_.end()) return false;
    Decision decision = std::move(it->second);
    pending_.erase(it);  // before running: the decision may ask a new question
    decision(std::move(answer));
    return true;
  }

  size_t size() const { return pending_.size(); }

 private:
  char prefix_;
  uint64_t seq_ = 0;
  std::map<std::string, Decision> pending_;
};
