#include "services/share.h"

#include <algorithm>

#include "wire/text.h"

std::unique_ptr<ShareReq> parse_share(std::string_view line, size_t after) {
  std::string_view rest = line.substr(after + 1);
  auto req = std::make_unique<ShareReq>();
  if (line[after] == '@') {
    std::string_view win;
    if (!take_token(rest, win)) return nullptr;
    req->win = win;
  }
  std::vector<std::string> f = split_tabs(rest);
  f.resize(std::max<size_t>(f.size(), 4));
  req->x = wire_atoi(f[0]);
  req->y = wire_atoi(f[1]);
  req->text = wire_unescape(f[2]);
  req->url = wire_unescape(f[3]);
  for (size_t i = 4; i < f.size(); ++i) {
    if (!f[i].empty()) req->paths.push_back(wire_unescape(f[i]));
  }
  return req;
}

std::string share_mailto(std::string_view text, std::string_view url) {
  std::string body(text);
  if (!url.empty()) body += (body.empty() ? "" : "\n") + std::string(url);
  std::string out = "mailto:?body=";
  static constexpr char kHex[] = "0123456789ABCDEF";
  for (unsigned char c : body) {
    bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                 c == '-' || c == '_' || c == '.' || c == '~';
    if (plain) {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out;
}
