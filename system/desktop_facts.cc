#include "system/desktop_facts.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "wire/text.h"

namespace {

const char* b(bool v) {
  return v ? "true" : "false";
}

std::string string_or_null(const std::optional<std::string>& v) {
  return v ? json_escape(*v) : "null";
}

std::string id_or_null(const std::string& id) {
  return id.empty() ? "null" : json_escape(id);
}

bool contains(const Rect& r, double x, double y) {
  return x >= r.x && x < r.x + r.width && y >= r.y && y < r.y + r.height;
}

}  // namespace

std::string battery_json(const BatteryFacts& bat) {
  bool charging = bat.state == 1;
  int64_t seconds = charging ? bat.time_to_full : bat.time_to_empty;
  std::string minutes = seconds > 0 ? std::to_string(seconds / 60) : "null";
  char buf[160];
  std::snprintf(buf, sizeof buf,
                "{\"percent\":%d,\"charging\":%s,\"plugged\":%s,\"minutesRemaining\":%s}",
                static_cast<int>(std::lround(bat.percentage)), b(charging), b(!bat.on_battery),
                minutes.c_str());
  return buf;
}

int dbm_from_percent(int percent) {
  return percent / 2 - 100;
}

std::string wifi_json(const WifiFacts& w) {
  char tail[96];
  std::snprintf(tail, sizeof tail, ",\"rssi\":%d,\"noise\":null,\"txRate\":%f}",
                dbm_from_percent(w.strength), w.bitrate_kbps / 1000.0);
  return "{\"ssid\":" + string_or_null(w.ssid) + ",\"bssid\":" + string_or_null(w.bssid) + tail;
}

std::string idle_json(double seconds) {
  char buf[48];
  std::snprintf(buf, sizeof buf, "{\"seconds\":%.3f}", seconds);
  return buf;
}

std::string frontmost_json(const AppIdentity& app, long pid) {
  return "{\"name\":" + id_or_null(app.name) + ",\"bundleId\":" + id_or_null(app.id) +
         ",\"pid\":" + std::to_string(pid) + "}";
}

std::string other_windows_json(const std::vector<OtherWindow>& windows, long own_pid) {
  std::vector<long> pids;
  for (const OtherWindow& w : windows) {
    if (w.pid != own_pid && w.app_window &&
        std::find(pids.begin(), pids.end(), w.pid) == pids.end()) {
      pids.push_back(w.pid);
    }
  }
  std::string out = "[";
  for (long pid : pids) {
    int index = 0;
    for (const OtherWindow& w : windows) {
      if (w.pid != pid || !w.app_window) continue;
      int i = index++;
      if (!w.frame) continue;
      if (out.size() > 1) out += ',';
      out += "{\"app\":" + json_escape(w.app.name) + ",\"bundleId\":" + id_or_null(w.app.id) +
             ",\"title\":" + json_escape(w.title);
      char buf[160];
      std::snprintf(buf, sizeof buf,
                    ",\"pid\":%ld,\"index\":%d,\"x\":%d,\"y\":%d,\"width\":%d,\"height\":%d}", pid,
                    i, static_cast<int>(w.frame->x), static_cast<int>(w.frame->y),
                    static_cast<int>(w.frame->width), static_cast<int>(w.frame->height));
      out += buf;
    }
  }
  return out + "]";
}

int fgscreen_index(const std::vector<ScreenInfo>& screens, const std::optional<Rect>& window,
                   double pointer_x, double pointer_y) {
  if (window) {
    int i = screen_for_rect(screens, *window);
    if (i >= 0) return i;
  }
  for (size_t i = screens.size(); i-- > 0;) {
    if (contains(screens[i].frame, pointer_x, pointer_y)) return static_cast<int>(i);
  }
  return -1;
}

std::string activation_json(bool accessory, bool active, bool hidden) {
  return std::string("{\"policy\":\"") + (accessory ? "accessory" : "regular") +
         "\",\"active\":" + b(active) + ",\"hidden\":" + b(hidden) + "}";
}

std::string close_button_json(const CloseButton& button) {
  if (button.kind == CloseButton::WindowManager) return "null";
  if (button.kind == CloseButton::Hidden) return "{\"hidden\":true}";
  char buf[64];
  std::snprintf(buf, sizeof buf, "{\"fromTop\":%.1f,\"x\":%.1f}", button.bounds.y, button.bounds.x);
  return buf;
}
