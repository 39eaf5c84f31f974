// AI commands: requests run one after another on the AI thread; tool results arrive on the
// reader thread.
#pragma once

#include <memory>
#include <string_view>

#include "ai/ai_request.h"
#include "wire/main_queue.h"

void do_ai(webview_t w, std::unique_ptr<AiReq> req);
// AITOOLRESULT, handled where it is read: the call it answers blocks the AI thread.
void ai_tool_result(std::string_view line, size_t after);
