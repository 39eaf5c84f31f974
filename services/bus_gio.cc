#include "services/bus_gio.h"

#include <gio/gunixfdlist.h>

#include <memory>

#include "platform/gobj.h"

namespace {

struct VariantHolder {
  GVariant* v = nullptr;
  ~VariantHolder() {
    if (v) g_variant_unref(v);
  }
};

}  // namespace

void with_bus(GBusType bus, std::function<void(GDBusConnection*)> fn) {
  // Connections are kept for the life of the process: signal subscriptions and what services
  // hold for a client (a screen-saver inhibition, say) last as long as the connection.
  static GRef<GDBusConnection> kept[2];
  GRef<GDBusConnection>& conn = kept[bus == G_BUS_TYPE_SYSTEM ? 1 : 0];
  if (conn && !g_dbus_connection_is_closed(conn.get())) {
    fn(conn.get());
    return;
  }
  struct Wait {
    GRef<GDBusConnection>* slot;
    std::function<void(GDBusConnection*)> fn;
  };
  g_bus_get(
      bus, nullptr,
      [](GObject*, GAsyncResult* result, gpointer data) {
        std::unique_ptr<Wait> wait(static_cast<Wait*>(data));
        auto got = GRef<GDBusConnection>::adopt(g_bus_get_finish(result, nullptr));
        if (got) *wait->slot = got;
        wait->fn(got.get());
      },
      new Wait{&conn, std::move(fn)});
}

void bus_call(const BusCall& call, GVariant* args, BusDone done) {
  auto owned = std::make_shared<VariantHolder>();
  if (args) owned->v = g_variant_ref_sink(args);
  with_bus(call.bus, [call, owned, done = std::move(done)](GDBusConnection* conn) mutable {
    if (!conn) {
      done(nullptr, nullptr, "no connection to the bus");
      return;
    }
    auto flags = call.auto_start ? G_DBUS_CALL_FLAGS_NONE : G_DBUS_CALL_FLAGS_NO_AUTO_START;
    auto* held = new BusDone(std::move(done));
    g_dbus_connection_call_with_unix_fd_list(
        conn, call.name.c_str(), call.path.c_str(), call.iface.c_str(), call.method.c_str(),
        owned->v, call.reply_type.empty() ? nullptr : G_VARIANT_TYPE(call.reply_type.c_str()),
        flags, call.timeout_ms, nullptr, nullptr,
        [](GObject* source, GAsyncResult* result, gpointer data) {
          std::unique_ptr<BusDone> done(static_cast<BusDone*>(data));
          GError* error = nullptr;
          GUnixFDList* fds = nullptr;
          VariantHolder reply{g_dbus_connection_call_with_unix_fd_list_finish(
              G_DBUS_CONNECTION(source), &fds, result, &error)};
          auto fd_list = GRef<GUnixFDList>::adopt(fds);
          std::string message;
          if (error) {
            message = error->message;
            g_error_free(error);
          }
          (*done)(reply.v, fd_list.get(), message);
        },
        held);
  });
}
