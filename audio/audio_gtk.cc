// The audio commands on the main loop, and the end of the process while the equaliser holds
// the app's streams: on exit and on the signals that ask the launcher to end, the streams go
// back first.
#include "audio/audio_gtk.h"

#include <glib-unix.h>
#include <pulse/def.h>

#include <csignal>
#include <vector>

#include "audio/audio_pulse.h"

namespace {

PulseTap g_tap_platform;
TapController g_tap(g_tap_platform);
PulseEq g_eq_platform;
EqController g_eq(g_eq_platform);
std::vector<guint> g_signal_watches;

constexpr int kEndSignals[] = {SIGTERM, SIGINT, SIGHUP};

void hold_signals(bool hold) {
  for (guint id : g_signal_watches)
    g_source_remove(id);
  g_signal_watches.clear();
  if (!hold) return;
  for (int sig : kEndSignals) {
    g_signal_watches.push_back(g_unix_signal_add(
        sig,
        [](gpointer sig) -> gboolean {
          kelo_audio_shutdown();
          // Then end as the signal would have ended the launcher.
          std::signal(GPOINTER_TO_INT(sig), SIG_DFL);
          std::raise(GPOINTER_TO_INT(sig));
          return G_SOURCE_REMOVE;
        },
        GINT_TO_POINTER(sig)));
  }
}

void setup() {
  static bool done = false;
  if (done) return;
  done = true;
  g_tap_platform.attach(&g_tap);
  g_eq_platform.attach(&g_eq);
  g_eq_platform.on_hold = hold_signals;
  PulseLink& link = PulseLink::get();
  link.on_streams_changed = [] {
    g_tap_platform.streams_changed();
    g_eq_platform.streams_changed();
  };
  link.on_output_changed = [] {
    g_tap.output_changed();
    g_eq.output_changed();
  };
}

}  // namespace

void do_audiotap(webview_t, std::unique_ptr<AudioTapReq> req) {
  setup();
  g_tap.handle(std::move(req));
}

void do_audiofilters(webview_t, std::unique_ptr<AudioFiltersReq> req) {
  setup();
  g_eq.filters(std::move(req->filters));
}

void do_audiofilterset(webview_t, std::unique_ptr<AudioFilterSetReq> req) {
  g_eq.filter_set(*req);
}

void do_audiobalance(webview_t, std::unique_ptr<double> value) {
  g_eq.balance(*value);
}

std::string audio_filters_state_json() {
  return g_eq.state_json();
}

void kelo_audio_shutdown() {
  g_tap.shutdown(PA_ERR_KILLED);
  g_eq_platform.teardown_now(1000);
  hold_signals(false);
}
