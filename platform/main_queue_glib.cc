// Wire handlers reach the main thread through one FIFO drained by one GLib source, so they run
// in wire order. The source lives as long as the process: a post only wakes the loop, once per
// batch, when the queue goes from empty to not empty. It runs ahead of the loop's other sources
// so a page call's answer does not wait behind input, drawing or a media stream. Under a flood
// (a full batch, or work waiting at the start of several turns in a row) it steps down to the
// default priority, so the other sources still get their turn. The drain may re-enter: a handler
// that waits in a nested main loop (which no handler of the launcher should do) does not stop the
// handlers of later lines.
#include <glib.h>

#include <deque>
#include <mutex>
#include <utility>
#include <vector>

#include "platform/main_loop.h"
#include "wire/link.h"
#include "wire/main_queue.h"

namespace {

GMainLoop* g_loop = nullptr;
bool g_stopping = false;
std::vector<std::function<void()>> g_quit_hooks;

constexpr int kBatch = 256;
constexpr int kEager = G_PRIORITY_HIGH;
constexpr int kFlooded = G_PRIORITY_DEFAULT;
constexpr int kEagerTurns = 8;

class GlibMainQueue final : public MainQueue {
 public:
  GlibMainQueue() {
    static GSourceFuncs funcs = {&GlibMainQueue::prepare,
                                 &GlibMainQueue::check,
                                 &GlibMainQueue::dispatch,
                                 nullptr,
                                 nullptr,
                                 nullptr};
    source_ = g_source_new(&funcs, sizeof(Source));
    reinterpret_cast<Source*>(source_)->queue = this;
    g_source_set_priority(source_, kEager);
    g_source_set_can_recurse(source_, TRUE);
    g_source_set_name(source_, "kelo wire queue");
    g_source_attach(source_, nullptr);
  }

  // Drops what is queued; it never runs.
  void discard() {
    std::deque<TaskPtr> dropped;
    std::lock_guard<std::mutex> lock(mutex_);
    dropped.swap(tasks_);
  }

  void post(TaskPtr task) override {
    bool wake;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      wake = tasks_.empty();
      tasks_.push_back(std::move(task));
    }
    // Before its poll the loop asks prepare(); a post after that finds the queue was empty
    // and ends the poll.
    if (wake) g_main_context_wakeup(g_source_get_context(source_));
  }

 private:
  struct Source {
    GSource base;
    GlibMainQueue* queue;
  };

  static void set_priority(GSource* source, int priority) {
    if (g_source_get_priority(source) != priority) g_source_set_priority(source, priority);
  }

  static GlibMainQueue* of(GSource* source) { return reinterpret_cast<Source*>(source)->queue; }

  bool ready() {
    std::lock_guard<std::mutex> lock(mutex_);
    return !tasks_.empty();
  }

  static gboolean prepare(GSource* source, gint* timeout) {
    *timeout = -1;
    GlibMainQueue* self = of(source);
    // A loop turning inside a handler of the batch (a nested loop) must not sit on the
    // batch's held lines: what it waits for may depend on them.
    if (self->in_batch_) g_wire.flush();
    bool ready = !g_stopping && self->ready();
    self->busy_turns_ = ready ? self->busy_turns_ + 1 : 0;
    return ready;
  }
  static gboolean check(GSource* source) { return !g_stopping && of(source)->ready(); }

  static gboolean dispatch(GSource* source, GSourceFunc, gpointer) {
    GlibMainQueue* self = of(source);
    // Once the loop is told to stop, nothing queued after the stop runs.
    if (g_stopping) {
      self->discard();
      return G_SOURCE_CONTINUE;
    }
    // The batch's answers leave in one write.
    WireHold hold;
    Batch batch(self);
    for (int i = 0; i < kBatch; ++i) {
      if (g_stopping) return G_SOURCE_CONTINUE;
      TaskPtr task = self->next();
      if (!task) {
        set_priority(source, self->busy_turns_ > kEagerTurns ? kFlooded : kEager);
        return G_SOURCE_CONTINUE;
      }
      task->run();
    }
    set_priority(source, kFlooded);
    return G_SOURCE_CONTINUE;
  }

  // Marks the drain's batch, also when batches nest.
  struct Batch {
    explicit Batch(GlibMainQueue* q) : queue(q), outer(q->in_batch_) { q->in_batch_ = true; }
    ~Batch() { queue->in_batch_ = outer; }
    GlibMainQueue* queue;
    bool outer;
  };

  TaskPtr next() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (tasks_.empty()) return nullptr;
    TaskPtr task = std::move(tasks_.front());
    tasks_.pop_front();
    return task;
  }

  std::mutex mutex_;
  std::deque<TaskPtr> tasks_;
  GSource* source_ = nullptr;  // attached for the life of the process
  int busy_turns_ = 0;         // loop turns in a row that began with work waiting
  bool in_batch_ = false;      // a handler of the drain is running
};

GlibMainQueue* g_queue = nullptr;

}  // namespace

void kelo_main_queue_install() {
  static GlibMainQueue queue;
  g_queue = &queue;
  g_main_queue = &queue;
}

void kelo_main_loop_run() {
  g_stopping = false;
  if (!g_loop) g_loop = g_main_loop_new(nullptr, FALSE);
  g_main_loop_run(g_loop);
  // What was queued after the stop never runs, also when the loop runs again.
  if (g_queue) g_queue->discard();
}

void kelo_main_loop_quit() {
  g_stopping = true;
  for (auto& hook : std::exchange(g_quit_hooks, {}))
    hook();
  if (g_loop) g_main_loop_quit(g_loop);
}

void kelo_on_quit(std::function<void()> fn) {
  g_quit_hooks.push_back(std::move(fn));
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
