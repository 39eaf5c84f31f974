// GET answers about the rest of the desktop: power, Wi-Fi, input idle time, other
// applications and their windows, and the launcher's own activation state.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "windows/screens.h"

// The power supply's display device as the power service reports it.
struct BatteryFacts {
  double percentage = 0;
  uint32_t state = 0;         // 1 charging, 2 discharging, 3 empty, 4 full, 5/6 pending
  int64_t time_to_empty = 0;  // seconds; 0 while unknown or estimating
  int64_t time_to_full = 0;
  bool on_battery = false;
};
// {"percent":..,"charging":..,"plugged":..,"minutesRemaining":..}; minutes null while the
// time is unknown.
std::string battery_json(const BatteryFacts& b);

// The connected Wi-Fi access point.
struct WifiFacts {
  std::optional<std::string> ssid;
  std::optional<std::string> bssid;
  int strength = 0;           // percent
  uint32_t bitrate_kbps = 0;  // the device's current bit rate
};
// Signal strength in dBm from a percentage: percent / 2 - 100.
int dbm_from_percent(int percent);
// {"ssid":..,"bssid":..,"rssi":..,"noise":null,"txRate":..}: no noise figure exists here.
std::string wifi_json(const WifiFacts& w);

std::string idle_json(double seconds);

// An application as the desktop names it: its desktop entry's name and id, else its process
// name and no id.
struct AppIdentity {
  std::string name;
  std::string id;
};
// {"name":..,"bundleId":..,"pid":..}
std::string frontmost_json(const AppIdentity& app, long pid);

// A top-level window of another application, in the window manager's stacking order.
struct OtherWindow {
  long pid = 0;
  AppIdentity app;
  std::string title;
  bool app_window = true;  // a normal, dialog or utility window (not a dock, desktop, menu...)
  std::optional<Rect> frame;
};
// The windows grouped by application in order of first appearance, without those of own_pid
// and those that are not application windows; index counts an application's windows, also
// those whose frame cannot be read (which are left out).
std::string other_windows_json(const std::vector<OtherWindow>& windows, long own_pid);

// The screen the frontmost application shows on: the screen of its front window, else the
// last screen holding the pointer; -1 for none.
int fgscreen_index(const std::vector<ScreenInfo>& screens, const std::optional<Rect>& window,
                   double pointer_x, double pointer_y);

// {"policy":..,"active":..,"hidden":..}
std::string activation_json(bool accessory, bool active, bool hidden);

// The launcher's own close button in window coordinates, as the chrome shows it.
struct CloseButton {
  enum Kind { Hidden, WindowManager, Own } kind = Hidden;
  Rect bounds;  // for Own
};
// {"fromTop":..,"x":..} for the launcher's own button, {"hidden":true} without a visible
// button, null when the window manager draws it (its place is not known).
std::string close_button_json(const CloseButton& b);
