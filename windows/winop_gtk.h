// The WINOP handler.
#pragma once

#include <memory>

#include "windows/winop.h"
#include "wire/main_queue.h"

void do_winop(webview_t w, std::unique_ptr<WinopReq> req);
