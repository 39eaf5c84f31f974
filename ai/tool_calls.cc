#include "ai/tool_calls.h"

std::string ToolCalls::invoke(const std::function<void(long)>& announce) {
  long call;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    call = ++counter_;
    waiting_.insert(call);
  }
  announce(call);
  std::unique_lock<std::mutex> lock(mutex_);
  bool answered = arrived_.wait_for(lock, limit_, [&] { return results_.count(call) != 0; });
  std::string out = answered ? std::move(results_[call]) : "{\"error\":\"tool timed out\"}";
  results_.erase(call);
  waiting_.erase(call);
  return out;
}

void ToolCalls::result(long call, std::string text) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!waiting_.count(call) || results_.count(call)) return;
    results_[call] = std::move(text);
  }
  arrived_.notify_all();
}
