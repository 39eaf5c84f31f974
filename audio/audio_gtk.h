// The audio commands: AUDIOTAP, AUDIOFILTERS, AUDIOFILTERSET, AUDIOBALANCE.
#pragma once

#include <memory>
#include <string>

#include "audio/eq_control.h"
#include "audio/tap.h"
#include "wire/main_queue.h"

void do_audiotap(webview_t w, std::unique_ptr<AudioTapReq> req);
void do_audiofilters(webview_t w, std::unique_ptr<AudioFiltersReq> req);
void do_audiofilterset(webview_t w, std::unique_ptr<AudioFilterSetReq> req);
void do_audiobalance(webview_t w, std::unique_ptr<double> value);

// The equaliser's state record (GET audiofilters).
std::string audio_filters_state_json();

// The launcher is ending: the tap stops, waiting starts are answered, and the app's streams go
// back to the default sink before the equaliser's sink is removed.
void kelo_audio_shutdown();
