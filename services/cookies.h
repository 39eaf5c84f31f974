// COOKIES: reading, setting and deleting the cookies of the web views' shared store.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// COOKIES id rest; the handler cuts the rest with cookie_command.
struct CookieReq {
  std::string id;
  std::string rest;
};

std::unique_ptr<CookieReq> parse_cookies(std::string_view line, size_t after);

enum class CookieOp { Get, Set, Delete, Bad };

// The operation (as received) and its arguments (unescaped); missing arguments read as empty
// up to the eight that "set" takes.
struct CookieCommand {
  CookieOp op = CookieOp::Bad;
  std::vector<std::string> args;
};
CookieCommand cookie_command(std::string_view rest);

enum class SameSite { None, Lax, Strict };

struct Cookie {
  std::string name;
  std::string value;
  std::string domain;
  std::string path;
  std::optional<double> expires;  // seconds since 1970; none for a session cookie
  bool secure = false;
  bool http_only = false;
  SameSite same_site = SameSite::None;
};

// {"name":..,"value":..,"domain":..,"path":..,"expires":ms or null,"secure":..,"httpOnly":..,
// "sameSite":"lax"|"strict"|"none"}; an empty path reads "/".
std::string cookie_json(const Cookie& c);
// {"ok":true,"cookies":[...]}
std::string cookies_reply(const std::vector<Cookie>& cookies);
// {"ok":true,"removed":N}
std::string cookies_removed_reply(size_t removed);

// The cookie "set" asks for: name, value, domain, path, expires (milliseconds since 1970, empty
// for a session cookie; dates outside 1970 to 9999 move to the nearest end), secure and
// httpOnly ("1" for true), sameSite ("lax", "strict", else none). An empty path is "/".
// Nullopt for a cookie that cannot be stored safely: an empty name or domain, a name that is
// not a token, a control byte or ";" in any text, an expiry that is not a number.
std::optional<Cookie> cookie_to_set(const std::vector<std::string>& args);

// True when the cookie's name, domain and path are exactly those of a "delete" request.
bool cookie_is_named(const Cookie& c, const std::vector<std::string>& args);
