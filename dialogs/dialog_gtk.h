// DLG: native dialogs on request, answered to the call that asked.
#pragma once

#include <memory>

#include "dialogs/dialog.h"
#include "wire/main_queue.h"

void do_dialog(webview_t w, std::unique_ptr<DlgReq> req);
