// Find in page on WebKitGTK.
#pragma once

#include <memory>
#include <string>

#include "dialogs/find.h"
#include "wire/main_queue.h"

void do_find(webview_t w, std::unique_ptr<FindReq> req);
void do_stopfind(webview_t w, std::unique_ptr<std::string> callref);
