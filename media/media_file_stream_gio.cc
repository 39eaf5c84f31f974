#include "media/media_file_stream_gio.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "media/media_response.h"

// One chunk is buffered at a time. The engine reads smaller pieces than a chunk; those are
// served from the buffer at once, and only an empty buffer sends a read to a worker thread.
// A stream has at most one read pending (GInputStream sees to that), so the buffer and the
// position are never touched by two threads at a time.
struct KeloMediaFileStream {
  GInputStream parent;
  int fd;
  int64_t offset;     // of the next chunk
  int64_t remaining;  // bytes not yet read from the file
  char* chunk;        // kMediaChunk bytes, allocated on the first read
  size_t chunk_pos;
  size_t chunk_len;
};

struct KeloMediaFileStreamClass {
  GInputStreamClass parent_class;
};

G_DEFINE_TYPE(KeloMediaFileStream, kelo_media_file_stream, G_TYPE_INPUT_STREAM)

namespace {

KeloMediaFileStream* self_of(gpointer stream) {
  return G_TYPE_CHECK_INSTANCE_CAST(stream, kelo_media_file_stream_get_type(), KeloMediaFileStream);
}

bool buffered(const KeloMediaFileStream* s) {
  return s->chunk_pos < s->chunk_len || s->remaining == 0;
}

gssize take(KeloMediaFileStream* s, void* buffer, size_t count) {
  size_t n = std::min(count, s->chunk_len - s->chunk_pos);
  if (n == 0) return 0;
  std::memcpy(buffer, s->chunk + s->chunk_pos, n);
  s->chunk_pos += n;
  return static_cast<gssize>(n);
}

// Reads the next chunk; false with error set when the file cannot give it.
bool fill(KeloMediaFileStream* s, GError** error) {
  if (!s->chunk) s->chunk = static_cast<char*>(g_malloc(kMediaChunk));
  size_t want = static_cast<size_t>(std::min(kMediaChunk, s->remaining));
  ssize_t n;
  do {
    n = pread(s->fd, s->chunk, want, s->offset);
  } while (n < 0 && errno == EINTR);
  if (n <= 0) {
    int err = n < 0 ? errno : EIO;  // a file that got shorter ends early
    g_set_error_literal(error, G_IO_ERROR, g_io_error_from_errno(err), g_strerror(err));
    return false;
  }
  s->chunk_pos = 0;
  s->chunk_len = static_cast<size_t>(n);
  s->offset += n;
  s->remaining -= n;
  return true;
}

gssize read_now(KeloMediaFileStream* s, void* buffer, size_t count, GCancellable* cancellable,
                GError** error) {
  if (g_cancellable_set_error_if_cancelled(cancellable, error)) return -1;
  if (count == 0) return 0;
  if (!buffered(s) && !fill(s, error)) return -1;
  return take(s, buffer, count);
}

gssize read_fn(GInputStream* stream, void* buffer, gsize count, GCancellable* cancellable,
               GError** error) {
  return read_now(self_of(stream), buffer, count, cancellable, error);
}

struct ReadArgs {
  void* buffer;
  size_t count;
};

void read_in_thread(GTask* task, gpointer source, gpointer data, GCancellable* cancellable) {
  auto* args = static_cast<ReadArgs*>(data);
  GError* error = nullptr;
  gssize n = read_now(self_of(source), args->buffer, args->count, cancellable, &error);
  if (n < 0) {
    g_task_return_error(task, error);
  } else {
    g_task_return_int(task, n);
  }
}

void read_async(GInputStream* stream, void* buffer, gsize count, int priority,
                GCancellable* cancellable, GAsyncReadyCallback callback, gpointer user_data) {
  GTask* task = g_task_new(stream, cancellable, callback, user_data);
  g_task_set_priority(task, priority);
  KeloMediaFileStream* s = self_of(stream);
  if (buffered(s) || count == 0) {
    GError* error = nullptr;
    gssize n = read_now(s, buffer, count, cancellable, &error);
    if (n < 0) {
      g_task_return_error(task, error);
    } else {
      g_task_return_int(task, n);
    }
  } else {
    g_task_set_task_data(task, new ReadArgs{buffer, count},
                         [](gpointer p) { delete static_cast<ReadArgs*>(p); });
    g_task_run_in_thread(task, read_in_thread);
  }
  g_object_unref(task);  // the task keeps itself alive until it has returned
}

gssize read_finish(GInputStream*, GAsyncResult* result, GError** error) {
  return g_task_propagate_int(G_TASK(result), error);
}

gboolean close_fn(GInputStream* stream, GCancellable*, GError**) {
  KeloMediaFileStream* s = self_of(stream);
  if (s->fd >= 0) close(s->fd);
  s->fd = -1;
  return TRUE;
}

}  // namespace

static void kelo_media_file_stream_init(KeloMediaFileStream* s) {
  s->fd = -1;
}

static void kelo_media_file_stream_finalize(GObject* object) {
  KeloMediaFileStream* s = self_of(object);
  if (s->fd >= 0) close(s->fd);
  g_free(s->chunk);
  G_OBJECT_CLASS(kelo_media_file_stream_parent_class)->finalize(object);
}

static void kelo_media_file_stream_class_init(KeloMediaFileStreamClass* klass) {
  G_OBJECT_CLASS(klass)->finalize = kelo_media_file_stream_finalize;
  GInputStreamClass* stream = G_INPUT_STREAM_CLASS(klass);
  stream->read_fn = read_fn;
  stream->read_async = read_async;
  stream->read_finish = read_finish;
  stream->close_fn = close_fn;
}

GInputStream* kelo_media_file_stream_new(int fd, int64_t start, int64_t length) {
  auto* s = self_of(g_object_new(kelo_media_file_stream_get_type(), nullptr));
  s->fd = fd;
  s->offset = start;
  s->remaining = length;
  return G_INPUT_STREAM(s);
}
