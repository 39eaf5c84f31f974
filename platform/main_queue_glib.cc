// Wire handlers reach the main thread through one FIFO drained by one GLib source, so they run
// in wire order. The drain may re-enter: a handler that waits in a nested main loop (which no
// handler of the launcher should do) does not stop the handlers of later lines.
#include <glib.h>

#include <deque>
#include <mutex>
#include <vector>

#include "platform/main_loop.h"
#include "wire/main_queue.h"

namespace {

GMainLoop* g_loop = nullptr;
bool g_stopping = false;
std::vector<std::function<void()>> g_loop_end;

class GlibMainQueue final : public MainQueue {
 public:
  void post(TaskPtr task) override {
    std::lock_guard<std::mutex> lock(mutex_);
    tasks_.push_back(std::move(task));
    if (!scheduled_) {
      scheduled_ = true;
      // Always a new source, also when posting from the main thread: a handler never runs
      // inside the code that queued it.
      GSource* source = g_idle_source_new();
      g_source_set_priority(source, G_PRIORITY_DEFAULT);
      g_source_set_can_recurse(source, TRUE);
      g_source_set_callback(source, &GlibMainQueue::drain, this, nullptr);
      g_source_attach(source, nullptr);
      g_source_unref(source);
    }
  }

 private:
  static gboolean drain(gpointer self_ptr) {
    auto* self = static_cast<GlibMainQueue*>(self_ptr);
    // A bounded batch per turn keeps the loop responsive under a flood of lines.
    for (int i = 0; i < 256; ++i) {
      // Once the loop is told to stop, nothing queued after the stop runs.
      if (g_stopping) return G_SOURCE_REMOVE;
      TaskPtr task;
      {
        std::lock_guard<std::mutex> lock(self->mutex_);
        if (self->tasks_.empty()) {
          self->scheduled_ = false;
          return G_SOURCE_REMOVE;
        }
        task = std::move(self->tasks_.front());
        self->tasks_.pop_front();
      }
      task->run();
    }
    return G_SOURCE_CONTINUE;
  }

  std::mutex mutex_;
  std::deque<TaskPtr> tasks_;
  bool scheduled_ = false;
};

}  // namespace

void kelo_main_queue_install() {
  static GlibMainQueue queue;
  g_main_queue = &queue;
}

void kelo_main_loop_run() {
  g_stopping = false;
  if (!g_loop) g_loop = g_main_loop_new(nullptr, FALSE);
  g_main_loop_run(g_loop);
  for (auto& fn : g_loop_end)
    fn();
}

void kelo_at_loop_end(std::function<void()> fn) {
  g_loop_end.push_back(std::move(fn));
}

void kelo_main_loop_quit() {
  g_stopping = true;
  if (g_loop) g_main_loop_quit(g_loop);
}

void kelo_run_after(unsigned ms, std::function<void()> fn) {
  using Fn = std::function<void()>;
  g_timeout_add_full(
      G_PRIORITY_DEFAULT, ms,
      [](gpointer data) -> gboolean {
        (*static_cast<Fn*>(data))();
        return G_SOURCE_REMOVE;
      },
      new Fn(std::move(fn)), [](gpointer data) { delete static_cast<Fn*>(data); });
}
