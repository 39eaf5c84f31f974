#include "windows/winopen.h"

#include <cstdio>
#include <set>

#include "wire/text.h"

WinOpenReq parse_winopen(std::string_view text) {
  std::vector<std::string> f = split_tabs(text);
  auto field = [&f](size_t i) -> const std::string* { return i < f.size() ? &f[i] : nullptr; };
  WinOpenReq r;
  if (auto* s = field(0)) r.id = *s;
  if (auto* s = field(1)) r.url = *s;
  if (auto* s = field(2)) r.title = *s;
  if (auto* s = field(3)) std::sscanf(s->c_str(), "%dx%d", &r.width, &r.height);
  for (size_t i = 0; i < 6; ++i) {
    if (auto* s = field(4 + i)) r.chrome[i] = *s;
  }
  const std::string* x = field(10);
  const std::string* y = field(11);
  if (x && y && !x->empty() && !y->empty()) {
    r.has_position = true;
    r.x = wire_atoi(*x);
    r.y = wire_atoi(*y);
  }
  if (auto* s = field(13)) r.chrome[6] = *s;
  if (auto* s = field(14)) r.parent = *s;
  if (auto* s = field(15)) r.panel = *s == "1";
  if (auto* s = field(16)) r.hidden = *s == "0";
  return r;
}

bool has_chrome(const WinOpenReq& req) {
  for (const std::string& c : req.chrome) {
    if (!c.empty()) return true;
  }
  return false;
}

bool window_id_nameable(std::string_view id) {
  return id.find_first_of(" :") == std::string_view::npos;
}

bool closes_parent_cycle(const std::string& child, const std::string& parent,
                         const std::function<std::string(const std::string&)>& parent_of) {
  std::set<std::string> seen;
  for (std::string id = parent; !id.empty() && seen.insert(id).second; id = parent_of(id)) {
    if (id == child) return true;
  }
  return false;
}
