#include "media/media_paced_stream_gtk.h"

#include <memory>

#include "media/media_pacing.h"
#include "platform/gobj.h"

namespace {

// A read the engine asked for that waits for the page to catch up.
struct Read {
  GTask* task = nullptr;  // owned while parked
  void* buffer = nullptr;
  gsize count = 0;
};

struct Pace {
  GRef<GInputStream> base;
  GWeakRef view;
  MediaPacing pacing;
  Read parked;
};

}  // namespace

struct KeloPacedStream {
  GInputStream parent;
  Pace* pace;
};

struct KeloPacedStreamClass {
  GInputStreamClass parent_class;
};

G_DEFINE_TYPE(KeloPacedStream, kelo_paced_stream, G_TYPE_INPUT_STREAM)

namespace {

Pace* pace_of(gpointer stream) {
  return G_TYPE_CHECK_INSTANCE_CAST(stream, kelo_paced_stream_get_type(), KeloPacedStream)->pace;
}

void forward(Read read);

struct Probe {
  GRef<GInputStream> stream;
  int64_t mark;
};

void on_probe_answered(GObject* view, GAsyncResult* result, gpointer data) {
  std::unique_ptr<Probe> probe(static_cast<Probe*>(data));
  auto reply = GRef<WebKitUserMessage>::adopt(
      webkit_web_view_send_message_to_page_finish(WEBKIT_WEB_VIEW(view), result, nullptr));
  Pace* pace = pace_of(probe->stream.get());
  pace->pacing.answered(probe->mark);
  if (pace->parked.task && pace->pacing.may_read()) forward(std::exchange(pace->parked, {}));
}

// The probe travels behind the data handed on so far; its answer says the page has it.
void send_probe(GInputStream* stream, int64_t mark) {
  Pace* pace = pace_of(stream);
  auto view = GRef<WebKitWebView>::adopt(static_cast<WebKitWebView*>(g_weak_ref_get(&pace->view)));
  if (!view) {
    pace->pacing.answered(mark);
    return;
  }
  webkit_web_view_send_message_to_page(view.get(), webkit_user_message_new("kelo.echo", nullptr),
                                       nullptr, on_probe_answered,
                                       new Probe{GRef<GInputStream>::retain(stream), mark});
}

void on_base_read(GObject* base, GAsyncResult* result, gpointer data) {
  GTask* task = static_cast<GTask*>(data);
  GError* error = nullptr;
  gssize n = g_input_stream_read_finish(G_INPUT_STREAM(base), result, &error);
  if (n < 0) {
    g_task_return_error(task, error);
  } else {
    auto* stream = static_cast<GInputStream*>(g_task_get_source_object(task));
    if (auto mark = pace_of(stream)->pacing.handed_on(n)) send_probe(stream, *mark);
    g_task_return_int(task, n);
  }
  g_object_unref(task);
}

void forward(Read read) {
  if (g_task_return_error_if_cancelled(read.task)) {
    g_object_unref(read.task);
    return;
  }
  // The engine asks at the priority of its own message dispatch, so a stream read from a
  // buffer would hold off page calls and the probes' answers turn after turn; below it, they
  // go first.
  Pace* pace = pace_of(g_task_get_source_object(read.task));
  g_input_stream_read_async(pace->base.get(), read.buffer, read.count, G_PRIORITY_DEFAULT_IDLE,
                            g_task_get_cancellable(read.task), on_base_read, read.task);
}

void read_async(GInputStream* stream, void* buffer, gsize count, int priority,
                GCancellable* cancellable, GAsyncReadyCallback callback, gpointer user_data) {
  GTask* task = g_task_new(stream, cancellable, callback, user_data);
  g_task_set_priority(task, priority);
  Read read{task, buffer, count};
  Pace* pace = pace_of(stream);
  if (pace->pacing.may_read()) {
    forward(read);
  } else {
    pace->parked = read;  // a probe is out; its answer goes on
  }
}

gssize read_finish(GInputStream*, GAsyncResult* result, GError** error) {
  return g_task_propagate_int(G_TASK(result), error);
}

gssize read_fn(GInputStream* stream, void* buffer, gsize count, GCancellable* cancellable,
               GError** error) {
  return g_input_stream_read(pace_of(stream)->base.get(), buffer, count, cancellable, error);
}

gboolean close_fn(GInputStream* stream, GCancellable* cancellable, GError** error) {
  return g_input_stream_close(pace_of(stream)->base.get(), cancellable, error);
}

// The base stream closes in this thread, as it reads: it need not be safe to close elsewhere.
void close_async(GInputStream* stream, int priority, GCancellable* cancellable,
                 GAsyncReadyCallback callback, gpointer user_data) {
  GTask* task = g_task_new(stream, cancellable, callback, user_data);
  g_input_stream_close_async(
      pace_of(stream)->base.get(), priority, cancellable,
      [](GObject* base, GAsyncResult* result, gpointer data) {
        GTask* task = static_cast<GTask*>(data);
        GError* error = nullptr;
        if (g_input_stream_close_finish(G_INPUT_STREAM(base), result, &error)) {
          g_task_return_boolean(task, TRUE);
        } else {
          g_task_return_error(task, error);
        }
        g_object_unref(task);
      },
      task);
}

gboolean close_finish(GInputStream*, GAsyncResult* result, GError** error) {
  return g_task_propagate_boolean(G_TASK(result), error);
}

}  // namespace

static void kelo_paced_stream_init(KeloPacedStream* s) {
  s->pace = new Pace;
  g_weak_ref_init(&s->pace->view, nullptr);
}

static void kelo_paced_stream_finalize(GObject* object) {
  Pace* pace = pace_of(object);
  g_weak_ref_clear(&pace->view);
  delete pace;  // nothing is parked: a parked read holds the stream
  G_OBJECT_CLASS(kelo_paced_stream_parent_class)->finalize(object);
}

static void kelo_paced_stream_class_init(KeloPacedStreamClass* klass) {
  G_OBJECT_CLASS(klass)->finalize = kelo_paced_stream_finalize;
  GInputStreamClass* stream = G_INPUT_STREAM_CLASS(klass);
  stream->read_fn = read_fn;
  stream->read_async = read_async;
  stream->read_finish = read_finish;
  stream->close_fn = close_fn;
  stream->close_async = close_async;
  stream->close_finish = close_finish;
}

GInputStream* kelo_paced_stream_new(GInputStream* base, WebKitWebView* view) {
  auto* s = static_cast<KeloPacedStream*>(g_object_new(kelo_paced_stream_get_type(), nullptr));
  s->pace->base = GRef<GInputStream>::retain(base);
  g_weak_ref_set(&s->pace->view, view);
  return G_INPUT_STREAM(s);
}
