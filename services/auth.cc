#include "services/auth.h"

#include "services/request_head.h"
#include "wire/text.h"

std::unique_ptr<AuthReq> parse_auth(std::string_view line, size_t after) {
  auto head = split_request_head(line, after);
  if (!head) return nullptr;
  return std::make_unique<AuthReq>(AuthReq{std::move(head->id), wire_unescape(head->rest)});
}

std::string auth_reason(std::string_view reason) {
  if (reason.empty()) return "authenticate";
  if (reason.size() <= kAuthReasonBytes) return std::string(reason);
  size_t cut = kAuthReasonBytes;
  while (cut > 0 && (static_cast<unsigned char>(reason[cut]) & 0xC0) == 0x80)
    --cut;
  return std::string(reason.substr(0, cut)) + "\u2026";
}

std::string auth_reply(bool ok, std::string_view error) {
  if (ok) return "{\"ok\":true,\"error\":null}";
  return "{\"ok\":false,\"error\":" + json_escape(error) + "}";
}

PamService pam_service(const char* setting) {
  PamService s;
  std::string_view value = setting ? setting : "";
  if (value.empty()) return s;
  size_t slash = value.rfind('/');
  if (slash == std::string_view::npos) {
    s.name = value;
  } else {
    s.dir = value.substr(0, slash);
    if (s.dir.empty()) s.dir = "/";
    s.name = value.substr(slash + 1);
  }
  return s;
}

AuthStep auth_after_check(PamResult result, int& tries_left) {
  switch (result) {
    case PamResult::Accepted:
      return {true, auth_reply(true)};
    case PamResult::Unavailable:
      return {true, auth_reply(false, "authentication unavailable")};
    case PamResult::Rejected:
      break;
  }
  if (--tries_left > 0) return {false, {}};
  return {true, auth_reply(false, "authentication failed")};
}
