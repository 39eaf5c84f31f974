#include "services/launcher_entry_dbus.h"

#include <gio/gio.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "launcher/app_state.h"
#include "platform/gobj.h"

namespace {

constexpr const char* kInterface = "com.canonical.Unity.LauncherEntry";
constexpr const char* kIntrospection =
    "<node><interface name='com.canonical.Unity.LauncherEntry'>"
    "<method name='Query'><arg type='a{sv}' direction='out'/></method>"
    "<signal name='Update'><arg type='s' name='app_uri'/>"
    "<arg type='a{sv}' name='properties'/></signal>"
    "</interface></node>";

enum class Link { Idle, Connecting, Ready, Failed };

struct Entry {
  LauncherEntry state;
  Link link = Link::Idle;
  GRef<GDBusConnection> bus;
  std::string uri;
  std::string path;
};
Entry g_entry;

// Docks match the entry to the app's desktop file: the bundle identifier names it in a package
// run, the program name otherwise.
std::string app_uri() {
  const char* name = g_bundle_id.empty() ? g_get_prgname() : g_bundle_id.c_str();
  return std::string("application://") + (name ? name : "kelojs") + ".desktop";
}

GVariant* properties() {
  const LauncherEntry& s = g_entry.state;
  GVariantBuilder b;
  g_variant_builder_init(&b, G_VARIANT_TYPE("a{sv}"));
  g_variant_builder_add(&b, "{sv}", "count", g_variant_new_int64(s.count.value_or(0)));
  g_variant_builder_add(&b, "{sv}", "count-visible", g_variant_new_boolean(s.count.has_value()));
  g_variant_builder_add(&b, "{sv}", "progress",
                        g_variant_new_double(std::clamp(s.progress, 0.0, 1.0)));
  g_variant_builder_add(&b, "{sv}", "progress-visible", g_variant_new_boolean(s.progress >= 0));
  g_variant_builder_add(&b, "{sv}", "urgent", g_variant_new_boolean(s.urgent));
  return g_variant_builder_end(&b);
}

void emit_update() {
  g_dbus_connection_emit_signal(
      g_entry.bus.get(), nullptr, g_entry.path.c_str(), kInterface, "Update",
      g_variant_new("(s@a{sv})", g_entry.uri.c_str(), properties()), nullptr);
}

void on_method(GDBusConnection*, const char*, const char*, const char*, const char* method,
               GVariant*, GDBusMethodInvocation* invocation, gpointer) {
  if (g_strcmp0(method, "Query") == 0) {
    g_dbus_method_invocation_return_value(invocation, g_variant_new("(@a{sv})", properties()));
  } else {
    g_dbus_method_invocation_return_error(invocation, G_DBUS_ERROR, G_DBUS_ERROR_UNKNOWN_METHOD,
                                          "no method %s", method);
  }
}

void on_bus(GObject*, GAsyncResult* result, gpointer) {
  GError* error = nullptr;
  g_entry.bus = GRef<GDBusConnection>::adopt(g_bus_get_finish(result, &error));
  if (!g_entry.bus) {
    std::fprintf(stderr,
                 "kelojs: no session bus (%s): badge and progress show in the window icons "
                 "only\n",
                 error ? error->message : "unknown error");
    g_clear_error(&error);
    g_entry.link = Link::Failed;
    return;
  }
  static const GDBusInterfaceVTable vtable = {on_method, nullptr, nullptr, {}};
  static GDBusNodeInfo* node = g_dbus_node_info_new_for_xml(kIntrospection, nullptr);
  g_entry.uri = app_uri();
  g_entry.path =
      "/com/canonical/unity/launcherentry/" + std::to_string(g_str_hash(g_entry.uri.c_str()));
  if (!g_dbus_connection_register_object(g_entry.bus.get(), g_entry.path.c_str(),
                                         node->interfaces[0], &vtable, nullptr, nullptr, &error)) {
    std::fprintf(stderr, "kelojs: cannot export the launcher entry: %s\n", error->message);
    g_clear_error(&error);
  }
  g_entry.link = Link::Ready;
  emit_update();
}

}  // namespace

void launcher_entry_publish(const LauncherEntry& entry) {
  g_entry.state = entry;
  switch (g_entry.link) {
    case Link::Idle:
      g_entry.link = Link::Connecting;
      g_bus_get(G_BUS_TYPE_SESSION, nullptr, on_bus, nullptr);
      break;
    case Link::Ready:
      emit_update();
      break;
    case Link::Connecting:  // the state goes out once connected
    case Link::Failed:
      break;
  }
}
