#include "services/cookies.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>

#include "services/request_head.h"
#include "wire/text.h"

std::unique_ptr<CookieReq> parse_cookies(std::string_view line, size_t after) {
  auto head = split_request_head(line, after);
  if (!head) return nullptr;
  return std::make_unique<CookieReq>(CookieReq{std::move(head->id), std::string(head->rest)});
}

CookieCommand cookie_command(std::string_view rest) {
  std::vector<std::string> fields = split_tabs(rest);
  CookieCommand cmd;
  const std::string& op = fields[0];
  cmd.op = op == "get"      ? CookieOp::Get
           : op == "set"    ? CookieOp::Set
           : op == "delete" ? CookieOp::Delete
                            : CookieOp::Bad;
  for (size_t i = 1; i < fields.size(); ++i)
    cmd.args.push_back(wire_unescape(fields[i]));
  if (cmd.args.size() < 8) cmd.args.resize(8);
  return cmd;
}

namespace {

const char* same_site_name(SameSite s) {
  switch (s) {
    case SameSite::Lax:
      return "lax";
    case SameSite::Strict:
      return "strict";
    case SameSite::None:
      break;
  }
  return "none";
}

const char* boolean(bool b) {
  return b ? "true" : "false";
}

// Bytes that would end a cookie or the header carrying it.
bool safe_text(std::string_view text) {
  for (unsigned char c : text) {
    if (c < 0x20 || c == 0x7f || c == ';') return false;
  }
  return true;
}

// A cookie name is an HTTP token.
bool is_token(std::string_view text) {
  if (text.empty()) return false;
  for (unsigned char c : text) {
    if (c <= 0x20 || c >= 0x7f ||
        std::string_view("()<>@,;:\\\"/[]?={}").find(c) != std::string_view::npos) {
      return false;
    }
  }
  return true;
}

// The last second of the year 9999, the latest date the stores keep.
constexpr double kLatestExpiry = 253402300799.0;

// Milliseconds as a finite number, blanks around it allowed; dates outside 1970 to 9999 are
// moved to the nearest end.
std::optional<double> expiry_seconds(const std::string& text) {
  const char* start = text.c_str();
  char* end = nullptr;
  errno = 0;
  double ms = std::strtod(start, &end);
  if (end == start || errno == ERANGE || !std::isfinite(ms)) return std::nullopt;
  while (*end == ' ' || *end == '\t')
    ++end;
  if (*end) return std::nullopt;
  return std::clamp(ms / 1000.0, 0.0, kLatestExpiry);
}

}  // namespace

std::string cookie_json(const Cookie& c) {
  std::string out = "{\"name\":" + json_escape(c.name) + ",\"value\":" + json_escape(c.value) +
                    ",\"domain\":" + json_escape(c.domain) +
                    ",\"path\":" + json_escape(c.path.empty() ? "/" : c.path) + ",\"expires\":";
  out += c.expires ? std::to_string(static_cast<long long>(*c.expires * 1000.0)) : "null";
  out += std::string(",\"secure\":") + boolean(c.secure) + ",\"httpOnly\":" + boolean(c.http_only) +
         ",\"sameSite\":\"" + same_site_name(c.same_site) + "\"}";
  return out;
}

std::string cookies_reply(const std::vector<Cookie>& cookies) {
  std::string out = "{\"ok\":true,\"cookies\":[";
  for (size_t i = 0; i < cookies.size(); ++i) {
    if (i) out += ',';
    out += cookie_json(cookies[i]);
  }
  return out + "]}";
}

std::string cookies_removed_reply(size_t removed) {
  return "{\"ok\":true,\"removed\":" + std::to_string(removed) + "}";
}

std::optional<Cookie> cookie_to_set(const std::vector<std::string>& args) {
  if (args.size() < 8) return std::nullopt;
  Cookie c;
  c.name = args[0];
  c.value = args[1];
  c.domain = args[2];
  c.path = args[3].empty() ? "/" : args[3];
  if (!is_token(c.name) || c.domain.empty()) return std::nullopt;
  for (const std::string* text : {&c.value, &c.domain, &c.path}) {
    if (!safe_text(*text)) return std::nullopt;
  }
  if (!args[4].empty()) {
    c.expires = expiry_seconds(args[4]);
    if (!c.expires) return std::nullopt;
  }
  c.secure = args[5] == "1";
  c.http_only = args[6] == "1";
  c.same_site = args[7] == "lax"      ? SameSite::Lax
                : args[7] == "strict" ? SameSite::Strict
                                      : SameSite::None;
  return c;
}

bool cookie_is_named(const Cookie& c, const std::vector<std::string>& args) {
  return args.size() >= 3 && c.name == args[0] && c.domain == args[1] && c.path == args[2];
}
