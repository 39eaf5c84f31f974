#include "services/pending_replies.h"

#include <utility>
#include <vector>

PendingReplies::PendingReplies(Writer write) : write_(std::move(write)) {}

uint64_t PendingReplies::open(std::string id, std::string on_quit) {
  std::lock_guard<std::mutex> lock(mutex_);
  uint64_t ticket = next_++;
  open_.emplace(ticket, Entry{std::move(id), std::move(on_quit)});
  return ticket;
}

bool PendingReplies::answer(uint64_t ticket, std::string_view json) {
  std::string id;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = open_.find(ticket);
    if (it == open_.end()) return false;
    id = std::move(it->second.id);
    open_.erase(it);
  }
  write_(id, json);
  return true;
}

bool PendingReplies::is_open(uint64_t ticket) const {
  std::lock_guard<std::mutex> lock(mutex_);
  return open_.count(ticket) != 0;
}

void PendingReplies::quit() {
  std::map<uint64_t, Entry> closing;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    closing.swap(open_);
  }
  for (const auto& [ticket, entry] : closing)
    write_(entry.id, entry.on_quit);
}
