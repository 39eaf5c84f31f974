// The SPOTLIGHT handler: the desktop's file index when it runs, else a walk of the home folder.
#pragma once

#include <memory>

#include "services/spotlight.h"
#include "wire/main_queue.h"

void do_spotlight(webview_t w, std::unique_ptr<SpotlightReq> req);
