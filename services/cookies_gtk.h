// The COOKIES handler on the web views' shared cookie store.
#pragma once

#include <memory>

#include "services/cookies.h"
#include "wire/main_queue.h"

void do_cookies(webview_t w, std::unique_ptr<CookieReq> req);
