#include "services/work_queue.h"

#include <algorithm>

WorkQueue::~WorkQueue() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    closing_ = true;
  }
  wake_.notify_all();
  for (std::thread& t : threads_)
    t.join();
}

void WorkQueue::post(std::function<void()> job) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    jobs_.push_back(std::move(job));
    // A thread more while jobs outnumber the idle threads.
    if (jobs_.size() > idle_ && threads_.size() < max_threads_) {
      threads_.emplace_back([this] { work(); });
      return;
    }
  }
  wake_.notify_one();
}

void WorkQueue::work() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    ++idle_;
    wake_.wait(lock, [this] { return closing_ || !jobs_.empty(); });
    --idle_;
    if (jobs_.empty()) return;  // closing, and nothing left to do
    std::function<void()> job = std::move(jobs_.front());
    jobs_.pop_front();
    lock.unlock();
    job();
    lock.lock();
  }
}

WorkQueue& image_workers() {
  // Lives as long as the process: the launcher leaves without running static destructors.
  static WorkQueue* pool = new WorkQueue(std::max(2u, std::thread::hardware_concurrency()));
  return *pool;
}
