#include "services/osa.h"

#include "services/request_head.h"
#include "wire/link.h"
#include "wire/text.h"

std::unique_ptr<OsaReq> parse_osa(std::string_view line, size_t after) {
  auto head = split_request_head(line, after);
  if (!head) return nullptr;
  return std::make_unique<OsaReq>(OsaReq{std::move(head->id), wire_unescape(head->rest)});
}

void do_osa(webview_t, std::unique_ptr<OsaReq> req) {
  send_reply(req->id, "{\"ok\":false,\"error\":\"AppleScript is not available on this platform\"}");
}
