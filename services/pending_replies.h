// Replies of requests that answer later, from any thread. Each request is answered exactly
// once: by its completion, or, when the launcher quits first, with the answer it registered for
// that case; answers after that are dropped.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <string_view>

class PendingReplies {
 public:
  using Writer = std::function<void(std::string_view id, std::string_view json)>;
  explicit PendingReplies(Writer write);

  // Registers request `id`; `on_quit` is its answer when the launcher quits first.
  uint64_t open(std::string id, std::string on_quit);
  // Writes the answer of an open request and closes it; false, writing nothing, when it is
  // closed already.
  bool answer(uint64_t ticket, std::string_view json);
  bool is_open(uint64_t ticket) const;
  // Answers every open request with its quit answer.
  void quit();

 private:
  struct Entry {
    std::string id;
    std::string on_quit;
  };
  Writer write_;
  mutable std::mutex mutex_;
  uint64_t next_ = 1;
  std::map<uint64_t, Entry> open_;
};

// The launcher's one table, answering on the wire; its open requests are answered when the
// event loop stops.
PendingReplies& service_replies();
