#include "menus/symbols.h"

#include <utility>

namespace {

struct Symbol {
  std::string_view name;
  std::string_view icons;  // blank separated, best first
};

// clang-format off
constexpr Symbol kSymbols[] = {
    {"gear", "emblem-system preferences-system"},
    {"gearshape", "emblem-system preferences-system"},
    {"trash", "user-trash"},
    {"folder", "folder"},
    {"doc", "text-x-generic"},
    {"doc.text", "text-x-generic"},
    {"doc.on.doc", "edit-copy"},
    {"plus", "list-add"},
    {"minus", "list-remove"},
    {"magnifyingglass", "edit-find system-search"},
    {"star", "starred"},
    {"heart", "emblem-favorite"},
    {"xmark", "window-close process-stop"},
    {"checkmark", "object-select emblem-ok"},
    {"arrow.clockwise", "view-refresh"},
    {"arrow.counterclockwise", "edit-undo"},
    {"square.and.arrow.up", "document-send emblem-shared"},
    {"square.and.arrow.down", "document-save"},
    {"bell", "preferences-system-notifications"},
    {"person", "avatar-default system-users"},
    {"house", "go-home user-home"},
    {"info", "dialog-information"},
    {"exclamationmark.triangle", "dialog-warning"},
    {"questionmark", "help-browser help-about"},
    {"power", "system-shutdown"},
    {"pencil", "document-edit"},
    {"lock", "changes-prevent system-lock-screen"},
    {"envelope", "mail-unread mail-message-new"},
    {"paperplane", "mail-send"},
    {"calendar", "x-office-calendar"},
    {"clock", "preferences-system-time"},
    {"scissors", "edit-cut"},
    {"play", "media-playback-start"},
    {"pause", "media-playback-pause"},
    {"stop", "media-playback-stop"},
    {"forward", "media-skip-forward"},
    {"backward", "media-skip-backward"},
    {"speaker", "audio-volume-high"},
    {"speaker.slash", "audio-volume-muted"},
    {"mic", "audio-input-microphone"},
    {"camera", "camera-photo"},
    {"photo", "image-x-generic"},
    {"printer", "printer"},
    {"globe", "web-browser"},
    {"wifi", "network-wireless"},
    {"link", "insert-link"},
    {"bookmark", "bookmark-new"},
    {"list.bullet", "view-list"},
    {"chevron.left", "go-previous"},
    {"chevron.right", "go-next"},
    {"chevron.up", "go-up"},
    {"chevron.down", "go-down"},
    {"arrow.left", "go-previous"},
    {"arrow.right", "go-next"},
    {"sun.max", "weather-clear"},
    {"moon", "weather-clear-night"},
    {"cloud", "weather-overcast"},
};
// clang-format on

constexpr std::string_view kVariants[] = {".circle.fill", ".square.fill", ".fill", ".circle",
                                          ".square"};

// The symbol without its variant suffixes: "trash.circle.fill" -> "trash".
std::string_view base_symbol(std::string_view symbol) {
  for (bool cut = true; cut;) {
    cut = false;
    for (std::string_view v : kVariants) {
      if (symbol.size() > v.size() && symbol.ends_with(v)) {
        symbol.remove_suffix(v.size());
        cut = true;
      }
    }
  }
  return symbol;
}

void add(std::vector<std::string>& out, std::string_view name, bool symbolic) {
  if (symbolic) out.push_back(std::string(name) + "-symbolic");
  out.emplace_back(name);
}

}  // namespace

std::vector<std::string> symbol_icon_names(std::string_view symbol, bool symbolic) {
  std::vector<std::string> out;
  if (symbol.empty()) return out;
  add(out, symbol, symbolic);
  std::string_view base = base_symbol(symbol);
  for (const Symbol& s : kSymbols) {
    if (s.name != base) continue;
    std::string_view icons = s.icons;
    while (!icons.empty()) {
      size_t blank = icons.find(' ');
      add(out, icons.substr(0, blank), symbolic);
      icons.remove_prefix(blank == std::string_view::npos ? icons.size() : blank + 1);
    }
  }
  return out;
}
