// Threads for long work off the main thread: recognition, thumbnails, image files, recording.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

// Runs jobs on up to `threads` threads of its own, started as work arrives. With one thread,
// jobs run one at a time in the order they were posted.
class WorkQueue {
 public:
  explicit WorkQueue(unsigned threads) : max_threads_(threads ? threads : 1) {}
  // Runs what was posted, then joins the threads.
  ~WorkQueue();
  WorkQueue(const WorkQueue&) = delete;
  WorkQueue& operator=(const WorkQueue&) = delete;

  void post(std::function<void()> job);

 private:
  void work();

  const unsigned max_threads_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::function<void()>> jobs_;
  std::vector<std::thread> threads_;
  unsigned idle_ = 0;
  bool closing_ = false;
};

// The pool of the image services: one thread per core. Jobs may run at the same time.
WorkQueue& image_workers();
