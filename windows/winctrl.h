// The WINCTRL handler: another application's window, moved and sized.
#pragma once

#include <memory>

#include "windows/winop.h"
#include "wire/main_queue.h"

void do_winctrl(webview_t w, std::unique_ptr<WinCtrlReq> req);
