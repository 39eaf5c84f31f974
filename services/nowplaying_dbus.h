// NOWPLAYING: the app's track as an MPRIS 2 media player on the session bus.
#pragma once

#include <memory>

#include "services/nowplaying.h"
#include "wire/main_queue.h"

void do_nowplaying(webview_t w, std::unique_ptr<NowPlayingReq> req);
