#include "windows/winstate.h"

#include <cstring>

#include "wire/text.h"

std::string winstate_json(const WinState& s) {
  auto b = [](bool v) { return v ? "true" : "false"; };
  std::string out = "{\"fullscreen\":";
  out.append(b(s.fullscreen)).append(",\"maximized\":").append(b(s.maximized));
  out.append(",\"minimized\":").append(b(s.minimized)).append(",\"focused\":");
  out.append(b(s.focused)).append(",\"screenId\":").append(std::to_string(s.screen_id));
  out.push_back('}');
  return out;
}

std::optional<std::string> WinStateMemo::update(const std::string& id, const WinState& state) {
  std::string json = winstate_json(state);
  auto it = last_.find(id);
  if (it != last_.end() && it->second == json) return std::nullopt;
  last_[id] = json;
  return "WINSTATE " + id + " " + json;
}

namespace {

// "pt_BR.UTF-8@euro" -> "pt-BR"; "" for C and POSIX.
std::string tag_of(std::string name) {
  size_t cut = name.find_first_of(".@");
  if (cut != std::string::npos) name.resize(cut);
  if (name.empty() || name == "C" || name == "POSIX") return "";
  for (char& c : name) {
    if (c == '_') c = '-';
  }
  return name;
}

}  // namespace

std::string locale_json(const LocaleInfo& info) {
  std::string out = "{\"language\":";
  json_escape_to(out, info.languages.empty() ? std::string("en") : info.languages.front());
  out.append(",\"languages\":");
  out.append(json_string_array(info.languages));
  out.append(",\"system\":");
  out.append(json_string_array(info.system ? *info.system : info.languages));
  out.append(",\"region\":");
  if (info.region) {
    json_escape_to(out, *info.region);
  } else {
    out.append("null");
  }
  out.append(",\"timeZone\":");
  json_escape_to(out, info.time_zone);
  out.push_back('}');
  return out;
}

std::vector<std::string> languages_from_env(const char* language, const char* lc_all,
                                            const char* lc_messages, const char* lang) {
  std::vector<std::string> out;
  auto add = [&out](const std::string& name) {
    std::string tag = tag_of(name);
    if (tag.empty()) return;
    for (const std::string& have : out) {
      if (have == tag) return;
    }
    out.push_back(tag);
  };
  const char* base = nullptr;
  for (const char* v : {lc_all, lc_messages, lang}) {
    if (v && *v) {
      base = v;
      break;
    }
  }
  // LANGUAGE is honoured only when a real locale is in effect, as gettext does.
  if (language && *language && base && !tag_of(base).empty()) {
    std::string list = language;
    size_t start = 0;
    while (start <= list.size()) {
      size_t colon = list.find(':', start);
      if (colon == std::string::npos) colon = list.size();
      add(list.substr(start, colon - start));
      start = colon + 1;
    }
  }
  if (base) add(base);
  return out;
}

std::optional<std::string> region_from_locale(const char* locale) {
  if (!locale) return std::nullopt;
  std::string tag = tag_of(locale);
  size_t dash = tag.find('-');
  if (dash == std::string::npos || dash + 1 >= tag.size()) return std::nullopt;
  return tag.substr(dash + 1);
}
