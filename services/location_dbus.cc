// The location permission through GeoClue2 on the system bus. The service is looked for once;
// asking starts a client, and the desktop's agent asks the user whether the app may locate.
#include <gio/gio.h>

#include <cstdio>
#include <string>

#include "launcher/app_state.h"
#include "launcher/plist_source.h"
#include "services/bus_gio.h"
#include "services/desktop_services_gtk.h"
#include "wire/link.h"

namespace {

constexpr const char* kGeoClue = "org.freedesktop.GeoClue2";
constexpr const char* kManager = "/org/freedesktop/GeoClue2/Manager";
constexpr const char* kClientIface = "org.freedesktop.GeoClue2.Client";
constexpr const char* kProperties = "org.freedesktop.DBus.Properties";
constexpr unsigned kAccuracyExact = 8;

bool has_usage_description() {
  if (g_bundle_path.empty()) return false;
  PlistFile plist(g_bundle_path + "/Contents/Info.plist");
  return plist.get("NSLocationUsageDescription").kind != PlistValue::Kind::Missing ||
         plist.get("NSLocationWhenInUseUsageDescription").kind != PlistValue::Kind::Missing;
}

LocationGate& gate() {
  static LocationGate g(has_usage_description());
  return g;
}

BusCall geoclue(const std::string& path, const char* iface, const char* method,
                const char* reply_type = "") {
  return {G_BUS_TYPE_SYSTEM, kGeoClue, path, iface, method, reply_type};
}

void run(const LocationGate::Steps& steps);

void decide(PermStatus status) {
  run(gate().decided(status));
}

void end_client(const std::string& path) {
  auto ignore = [](GVariant*, GUnixFDList*, const std::string&) {};
  bus_call(geoclue(path, kClientIface, "Stop"), nullptr, ignore);
  bus_call(geoclue(kManager, "org.freedesktop.GeoClue2.Manager", "DeleteClient"),
           g_variant_new("(o)", path.c_str()), ignore);
}

// Starting the client is the question: the agent lets it start, or refuses access. The user
// may take their time, so the call has no time limit.
void start_client(const std::string& path) {
  BusCall start = geoclue(path, kClientIface, "Start");
  start.timeout_ms = G_MAXINT;
  bus_call(start, nullptr, [path](GVariant* reply, GUnixFDList*, const std::string& error) {
    if (reply) {
      decide(PermStatus::Granted);
    } else {
      decide(error.find("AccessDenied") != std::string::npos ? PermStatus::Denied
                                                             : PermStatus::Undetermined);
    }
    end_client(path);
  });
}

void set_client(const std::string& path, const char* name, GVariant* value,
                std::function<void()> next) {
  bus_call(geoclue(path, kProperties, "Set"), g_variant_new("(ssv)", kClientIface, name, value),
           [path, next](GVariant* reply, GUnixFDList*, const std::string&) {
             if (reply) {
               next();
             } else {
               decide(PermStatus::Undetermined);
               end_client(path);
             }
           });
}

void prompt() {
  bus_call(geoclue(kManager, "org.freedesktop.GeoClue2.Manager", "GetClient", "(o)"), nullptr,
           [](GVariant* reply, GUnixFDList*, const std::string&) {
             if (!reply) {
               decide(PermStatus::Undetermined);
               return;
             }
             const char* client = nullptr;
             g_variant_get(reply, "(&o)", &client);
             std::string path = client;
             std::string desktop_id = g_bundle_id.empty() ? service_app_name() : g_bundle_id;
             set_client(path, "DesktopId", g_variant_new_string(desktop_id.c_str()), [path] {
               set_client(path, "RequestedAccuracyLevel", g_variant_new_uint32(kAccuracyExact),
                          [path] { start_client(path); });
             });
           });
}

void probe() {
  bus_call(geoclue(kManager, kProperties, "Get", "(v)"),
           g_variant_new("(ss)", "org.freedesktop.GeoClue2.Manager", "InUse"),
           [](GVariant* reply, GUnixFDList*, const std::string&) {
             run(gate().probed(reply != nullptr));
           });
}

void run(const LocationGate::Steps& steps) {
  if (steps.usage_missing) {
    std::fputs(
        "launcher: permissions.request('location') needs \"permissions\": { \"location\": "
        "\"why\" } in kelojs.json and a built app\n",
        stderr);
  }
  for (const auto& [id, status] : steps.replies)
    send_reply(id, perm_reply(status));
  if (steps.probe) probe();
  if (steps.prompt) prompt();
}

}  // namespace

void location_query(const std::string& id, bool ask) {
  run(gate().query(id, ask));
}
