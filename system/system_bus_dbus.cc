#include "system/system_bus_dbus.h"

#include <gio/gio.h>

#include <chrono>
#include <functional>
#include <optional>

#include "platform/gobj.h"
#include "system/desktop_facts.h"
#include "windows/screens_gtk.h"
#include "windows/winstate.h"

namespace {

// Time one answer may take, for all of its calls together.
constexpr std::chrono::milliseconds kBudget{1500};

struct VariantFree {
  void operator()(GVariant* v) const { g_variant_unref(v); }
};
using VariantPtr = std::unique_ptr<GVariant, VariantFree>;

// Blocking calls on one worker thread, all within one deadline.
class SystemBus {
 public:
  SystemBus() : deadline_(std::chrono::steady_clock::now() + kBudget) {
    bus_ = GRef<GDBusConnection>::adopt(g_bus_get_sync(G_BUS_TYPE_SYSTEM, nullptr, nullptr));
  }
  explicit operator bool() const { return bool(bus_); }

  // The properties of an interface (a{sv}); null on any failure or when time is up.
  VariantPtr properties(const char* service, const char* path, const char* iface) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline_ - std::chrono::steady_clock::now());
    if (!bus_ || left.count() <= 0) return nullptr;
    GVariant* reply = g_dbus_connection_call_sync(
        bus_.get(), service, path, "org.freedesktop.DBus.Properties", "GetAll",
        g_variant_new("(s)", iface), G_VARIANT_TYPE("(a{sv})"), G_DBUS_CALL_FLAGS_NO_AUTO_START,
        static_cast<int>(left.count()), nullptr, nullptr);
    if (!reply) return nullptr;
    VariantPtr dict(g_variant_get_child_value(reply, 0));
    g_variant_unref(reply);
    return dict;
  }

 private:
  GRef<GDBusConnection> bus_;
  std::chrono::steady_clock::time_point deadline_;
};

// A property of the type given, or nothing.
template <class T>
std::optional<T> prop(GVariant* dict, const char* name, const char* type) {
  if (!dict) return std::nullopt;
  VariantPtr v(g_variant_lookup_value(dict, name, G_VARIANT_TYPE(type)));
  if (!v) return std::nullopt;
  T out{};
  g_variant_get(v.get(), type, &out);
  return out;
}

// A string or object path property.
std::optional<std::string> string_prop(GVariant* dict, const char* name, const char* type) {
  if (!dict) return std::nullopt;
  VariantPtr v(g_variant_lookup_value(dict, name, G_VARIANT_TYPE(type)));
  if (!v) return std::nullopt;
  return std::string(g_variant_get_string(v.get(), nullptr));
}

// An SSID is bytes; what is not UTF-8 is replaced.
std::optional<std::string> ssid_prop(GVariant* dict) {
  if (!dict) return std::nullopt;
  VariantPtr v(g_variant_lookup_value(dict, "Ssid", G_VARIANT_TYPE_BYTESTRING));
  if (!v) return std::nullopt;
  gsize n = 0;
  auto* bytes = static_cast<const char*>(g_variant_get_fixed_array(v.get(), &n, 1));
  if (n == 0) return std::nullopt;
  GCharPtr valid(g_utf8_make_valid(bytes, static_cast<gssize>(n)));
  return std::string(valid.get());
}

void in_worker(std::function<void()> fn) {
  using Fn = std::function<void()>;
  GTask* task = g_task_new(nullptr, nullptr, nullptr, nullptr);
  g_task_set_task_data(task, new Fn(std::move(fn)), [](gpointer p) { delete static_cast<Fn*>(p); });
  g_task_run_in_thread(
      task, [](GTask*, gpointer, gpointer data, GCancellable*) { (*static_cast<Fn*>(data))(); });
  g_object_unref(task);
}

std::string battery() {
  SystemBus bus;
  VariantPtr dev =
      bus.properties("org.freedesktop.UPower", "/org/freedesktop/UPower/devices/DisplayDevice",
                     "org.freedesktop.UPower.Device");
  if (!prop<gboolean>(dev.get(), "IsPresent", "b").value_or(false)) return "null";
  VariantPtr daemon =
      bus.properties("org.freedesktop.UPower", "/org/freedesktop/UPower", "org.freedesktop.UPower");
  BatteryFacts b;
  b.percentage = prop<double>(dev.get(), "Percentage", "d").value_or(0);
  b.state = prop<uint32_t>(dev.get(), "State", "u").value_or(0);
  b.time_to_empty = prop<gint64>(dev.get(), "TimeToEmpty", "x").value_or(0);
  b.time_to_full = prop<gint64>(dev.get(), "TimeToFull", "x").value_or(0);
  b.on_battery = prop<gboolean>(daemon.get(), "OnBattery", "b").value_or(false);
  return battery_json(b);
}

constexpr char kNm[] = "org.freedesktop.NetworkManager";
constexpr uint32_t kNmDeviceWifi = 2;

std::string wifi() {
  SystemBus bus;
  VariantPtr nm = bus.properties(kNm, "/org/freedesktop/NetworkManager", kNm);
  if (!prop<gboolean>(nm.get(), "WirelessEnabled", "b").value_or(false)) return "null";
  VariantPtr devices(nm ? g_variant_lookup_value(nm.get(), "Devices", G_VARIANT_TYPE("ao"))
                        : nullptr);
  if (!devices) return "null";
  GVariantIter iter;
  g_variant_iter_init(&iter, devices.get());
  const char* path = nullptr;
  while (g_variant_iter_next(&iter, "&o", &path)) {
    VariantPtr dev = bus.properties(kNm, path, "org.freedesktop.NetworkManager.Device");
    if (prop<uint32_t>(dev.get(), "DeviceType", "u") != kNmDeviceWifi) continue;
    VariantPtr wireless =
        bus.properties(kNm, path, "org.freedesktop.NetworkManager.Device.Wireless");
    auto ap_path = string_prop(wireless.get(), "ActiveAccessPoint", "o");
    if (!ap_path || *ap_path == "/") continue;
    VariantPtr ap =
        bus.properties(kNm, ap_path->c_str(), "org.freedesktop.NetworkManager.AccessPoint");
    if (!ap) continue;
    WifiFacts w;
    w.ssid = ssid_prop(ap.get());
    w.bssid = string_prop(ap.get(), "HwAddress", "s");
    if (w.bssid && w.bssid->empty()) w.bssid.reset();
    w.strength = prop<guchar>(ap.get(), "Strength", "y").value_or(0);
    w.bitrate_kbps = prop<uint32_t>(wireless.get(), "Bitrate", "u").value_or(0);
    return wifi_json(w);
  }
  return "null";
}

std::string locale() {
  SystemBus bus;
  VariantPtr props = bus.properties("org.freedesktop.locale1", "/org/freedesktop/locale1",
                                    "org.freedesktop.locale1");
  VariantPtr system(props ? g_variant_lookup_value(props.get(), "Locale", G_VARIANT_TYPE("as"))
                          : nullptr);
  return locale_json(current_locale(system.get()));
}

void answer_from_worker(GetAnswer answer, std::string (*read)()) {
  in_worker(
      [answer = std::make_shared<GetAnswer>(std::move(answer)), read] { answer->send(read()); });
}

}  // namespace

void answer_battery(GetAnswer answer) {
  answer_from_worker(std::move(answer), battery);
}

void answer_wifi(GetAnswer answer) {
  answer_from_worker(std::move(answer), wifi);
}

void answer_locale(GetAnswer answer) {
  answer_from_worker(std::move(answer), locale);
}
