// OSA: scripts that drive other applications. This desktop has no such scripting, so every
// request is answered with an error.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "wire/main_queue.h"

// OSA id script (unescaped).
struct OsaReq {
  std::string id;
  std::string script;
};

std::unique_ptr<OsaReq> parse_osa(std::string_view line, size_t after);

void do_osa(webview_t w, std::unique_ptr<OsaReq> req);
