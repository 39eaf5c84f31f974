#include "services/previewer_dbus.h"

#include <gio/gio.h>

#include <memory>

namespace {

constexpr const char* kName = "org.gnome.NautilusPreviewer";
constexpr const char* kPath = "/org/gnome/NautilusPreviewer";
constexpr const char* kInterface = "org.gnome.NautilusPreviewer2";
constexpr int kCallTimeoutMs = 10000;

std::function<void(int)> g_on_move;
guint g_subscription = 0;

// GtkDirectionType of the previewer's selection events: tab forward/backward, up, down, left,
// right.
int step_of(guint32 direction) {
  switch (direction) {
    case 1:  // tab backward
    case 2:  // up
    case 4:  // left
      return -1;
    default:
      return 1;
  }
}

void on_selection(GDBusConnection*, const char*, const char*, const char*, const char*,
                  GVariant* params, gpointer) {
  guint32 direction = 0;
  if (g_variant_is_of_type(params, G_VARIANT_TYPE("(u)"))) g_variant_get(params, "(u)", &direction);
  if (g_on_move) g_on_move(step_of(direction));
}

// The session bus, or null; the connection is the process's shared one.
void with_bus(std::function<void(GDBusConnection*)> fn) {
  using Fn = std::function<void(GDBusConnection*)>;
  g_bus_get(
      G_BUS_TYPE_SESSION, nullptr,
      [](GObject*, GAsyncResult* result, gpointer data) {
        std::unique_ptr<Fn> fn(static_cast<Fn*>(data));
        GDBusConnection* bus = g_bus_get_finish(result, nullptr);
        (*fn)(bus);
        if (bus) g_object_unref(bus);
      },
      new Fn(std::move(fn)));
}

}  // namespace

void previewer_show(const std::string& uri, const std::string& parent,
                    std::function<void(bool)> shown) {
  with_bus([uri, parent, shown = std::move(shown)](GDBusConnection* bus) mutable {
    if (!bus) return shown(false);
    if (!g_subscription) {
      g_subscription = g_dbus_connection_signal_subscribe(bus, kName, kInterface, "SelectionEvent",
                                                          kPath, nullptr, G_DBUS_SIGNAL_FLAGS_NONE,
                                                          on_selection, nullptr, nullptr);
    }
    using Done = std::function<void(bool)>;
    g_dbus_connection_call(
        bus, kName, kPath, kInterface, "ShowFile",
        g_variant_new("(ssb)", uri.c_str(), parent.c_str(), FALSE), nullptr, G_DBUS_CALL_FLAGS_NONE,
        kCallTimeoutMs, nullptr,
        [](GObject* source, GAsyncResult* result, gpointer data) {
          std::unique_ptr<Done> done(static_cast<Done*>(data));
          GVariant* reply =
              g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, nullptr);
          if (reply) g_variant_unref(reply);
          (*done)(reply != nullptr);
        },
        new Done(std::move(shown)));
  });
}

void previewer_close() {
  with_bus([](GDBusConnection* bus) {
    if (!bus) return;
    g_dbus_connection_call(bus, kName, kPath, kInterface, "Close", nullptr, nullptr,
                           G_DBUS_CALL_FLAGS_NO_AUTO_START, kCallTimeoutMs, nullptr, nullptr,
                           nullptr);
  });
}

void previewer_on_move(std::function<void(int)> on_move) {
  g_on_move = std::move(on_move);
}
