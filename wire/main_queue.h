// The hop from the reader thread to the main thread: handlers run there one at a time, in the
// order their lines arrived.
#pragma once

#include <memory>
#include <utility>

// The main window's webview instance; null in windowless mode.
struct kelo_webview;
using webview_t = kelo_webview*;
extern webview_t g_w;

class Task {
 public:
  virtual ~Task() = default;
  virtual void run() = 0;
};
using TaskPtr = std::unique_ptr<Task>;

// A FIFO that runs tasks on the main thread in submission order.
class MainQueue {
 public:
  virtual ~MainQueue() = default;
  virtual void post(TaskPtr task) = 0;
};
// Installed once at start-up, before the reader thread starts.
extern MainQueue* g_main_queue;

template <class F>
TaskPtr make_task(F&& fn) {
  struct Impl final : Task {
    explicit Impl(F&& f) : f(std::forward<F>(f)) {}
    void run() override { f(); }
    std::decay_t<F> f;
  };
  return std::make_unique<Impl>(std::forward<F>(fn));
}

// A command handler: receives the main window's webview instance and owns its record.
template <class R>
using Handler = void (*)(webview_t, std::unique_ptr<R>);

// Commands without a record carry this.
struct NoArgs {};

// Runs fn(g_w, rec) on the main thread. g_w is read now, at dispatch time.
template <class R>
void launcher_dispatch(Handler<R> fn, std::unique_ptr<R> rec) {
  webview_t ctx = g_w;
  g_main_queue->post(
      make_task([fn, ctx, rec = std::move(rec)]() mutable { fn(ctx, std::move(rec)); }));
}
