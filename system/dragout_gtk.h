// The DRAGOUT handler.
#pragma once

#include <memory>

#include "system/clipboard.h"
#include "wire/main_queue.h"

// Drags the files that exist out of the window, from the press in progress there; without a
// web view, a press or files nothing happens.
void do_dragout(webview_t w, std::unique_ptr<DragOutReq> req);
