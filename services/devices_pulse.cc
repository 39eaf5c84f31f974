// Microphones: the capture sources of the sound server (PulseAudio, or PipeWire's PulseAudio
// service), looked up on the main loop without waiting.
#include <glib.h>
#include <pulse/glib-mainloop.h>
#include <pulse/pulseaudio.h>

#include "services/devices.h"

namespace {

struct Lookup {
  pa_glib_mainloop* loop = nullptr;
  pa_context* context = nullptr;
  std::function<void(bool)> done;
  bool found = false;
  bool finished = false;
};

// Tells the answer once; the connection is taken down after the current callback returns.
void finish(Lookup* l) {
  if (l->finished) return;
  l->finished = true;
  l->done(l->found);
  g_idle_add(
      [](gpointer p) -> gboolean {
        auto* l = static_cast<Lookup*>(p);
        pa_context_set_state_callback(l->context, nullptr, nullptr);
        pa_context_disconnect(l->context);
        pa_context_unref(l->context);
        pa_glib_mainloop_free(l->loop);
        delete l;
        return G_SOURCE_REMOVE;
      },
      l);
}

void on_source(pa_context*, const pa_source_info* info, int eol, void* data) {
  auto* l = static_cast<Lookup*>(data);
  if (eol) {
    finish(l);
  } else if (info && info->monitor_of_sink == PA_INVALID_INDEX) {
    l->found = true;
  }
}

void on_state(pa_context* c, void* data) {
  auto* l = static_cast<Lookup*>(data);
  switch (pa_context_get_state(c)) {
    case PA_CONTEXT_READY:
      if (pa_operation* op = pa_context_get_source_info_list(c, on_source, l)) {
        pa_operation_unref(op);
      } else {
        finish(l);
      }
      break;
    case PA_CONTEXT_FAILED:
    case PA_CONTEXT_TERMINATED:
      finish(l);
      break;
    default:
      break;
  }
}

}  // namespace

void find_microphone(std::function<void(bool)> done) {
  auto* l = new Lookup;
  l->done = std::move(done);
  l->loop = pa_glib_mainloop_new(nullptr);
  l->context = pa_context_new(pa_glib_mainloop_get_api(l->loop), "kelojs");
  pa_context_set_state_callback(l->context, on_state, l);
  if (pa_context_connect(l->context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) finish(l);
}
