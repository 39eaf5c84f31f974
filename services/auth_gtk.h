// The AUTH handler: the launcher's password dialog.
#pragma once

#include <memory>

#include "services/auth.h"
#include "wire/main_queue.h"

void do_auth(webview_t w, std::unique_ptr<AuthReq> req);
