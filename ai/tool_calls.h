// Tool calls of the model waiting for the backend's results. A call blocks the thread that makes
// it (never the main thread) until its result arrives on the reader thread or its time runs out.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <string>

class ToolCalls {
 public:
  explicit ToolCalls(std::chrono::milliseconds limit = std::chrono::seconds(20)) : limit_(limit) {}

  // Takes the next call id, announces the call with announce(id) and waits for its result;
  // {"error":"tool timed out"} when none comes in time.
  std::string invoke(const std::function<void(long)>& announce);

  // A result from the backend; one for a call that is not waiting (unknown, answered, timed
  // out) is dropped.
  void result(long call, std::string text);

 private:
  std::chrono::milliseconds limit_;
  std::mutex mutex_;
  std::condition_variable arrived_;
  long counter_ = 0;
  std::set<long> waiting_;
  std::map<long, std::string> results_;
};
