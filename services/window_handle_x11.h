// How desktop services (portals, previewers) are told which window they serve.
#pragma once

#include <string>

#include "wire/main_queue.h"

// "x11:<xid in hex>" of the main window when it is realised; "" otherwise.
std::string main_window_handle(webview_t w);
