// The GET handler.
#pragma once

#include <memory>

#include "wire/main_queue.h"
#include "wire/requests.h"

void do_get(webview_t w, std::unique_ptr<GetReq> req);
