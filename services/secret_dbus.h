// The SECRET handler on the desktop's Secret Service.
#pragma once

#include <memory>

#include "services/secret.h"
#include "wire/main_queue.h"

void do_secret(webview_t w, std::unique_ptr<SecretReq> req);
