// Notifications through the desktop's notification server (org.freedesktop.Notifications),
// with notify-send as the fallback when no server answers.
#include <gio/gio.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "launcher/app_state.h"
#include "platform/gobj.h"
#include "services/bus_gio.h"
#include "services/desktop_services_gtk.h"
#include "wire/link.h"

namespace {

constexpr const char* kServer = "org.freedesktop.Notifications";
constexpr const char* kPath = "/org/freedesktop/Notifications";

bool debug_lines() {
  static const bool on = std::getenv("KELOJS_NOTIF_DEBUG") != nullptr;
  return on;
}

BusCall server_call(const char* method, const char* reply_type) {
  return {G_BUS_TYPE_SESSION, kServer, kPath, kServer, method, reply_type};
}

// The app icon: the icon file of the settings, else the icon named like the app's entry.
std::string app_icon() {
  if (!g_settings.icon.empty()) {
    GCharPtr uri(g_filename_to_uri(g_settings.icon.c_str(), nullptr, nullptr));
    if (uri) return uri.get();
  }
  return g_bundle_id;
}

NotifyCenter& center();

void on_server_signal(GDBusConnection*, const char*, const char*, const char*, const char* signal,
                      GVariant* params, gpointer) {
  guint32 id = 0;
  const char* text = nullptr;
  if (g_variant_is_of_type(params, G_VARIANT_TYPE("(us)"))) {
    g_variant_get(params, "(u&s)", &id, &text);
    if (std::strcmp(signal, "ActionInvoked") == 0) center().invoked(id, text);
    if (std::strcmp(signal, "NotificationReplied") == 0) center().replied(id, text);
  } else if (std::strcmp(signal, "NotificationClosed") == 0 &&
             g_variant_is_of_type(params, G_VARIANT_TYPE("(uu)"))) {
    g_variant_get(params, "(uu)", &id, nullptr);
    center().closed(id);
  }
}

void capabilities(BusDone done) {
  bus_call(server_call("GetCapabilities", "(as)"), nullptr, done);
}

class BusPort final : public NotifyPort {
 public:
  void ask() override {
    // Listen first, so that no answer of the user is missed.
    with_bus(G_BUS_TYPE_SESSION, [](GDBusConnection* conn) {
      if (!conn) return;
      g_dbus_connection_signal_subscribe(conn, kServer, kServer, nullptr, kPath, nullptr,
                                         G_DBUS_SIGNAL_FLAGS_NONE, on_server_signal, nullptr,
                                         nullptr);
    });
    capabilities([](GVariant* reply, GUnixFDList*, const std::string& error) {
      NotifAuth state = reply ? NotifAuth::Granted : NotifAuth::ScriptFallback;
      if (debug_lines()) {
        std::fprintf(stderr, "DBG auth err=%s status=%d\n", reply ? "none" : error.c_str(),
                     static_cast<int>(state));
      }
      std::vector<std::string> caps;
      if (reply) {
        GVariantIter* it = nullptr;
        const char* cap = nullptr;
        g_variant_get(reply, "(as)", &it);
        while (g_variant_iter_loop(it, "&s", &cap))
          caps.emplace_back(cap);
        g_variant_iter_free(it);
      }
      center().settle(state, notif_caps(caps));
    });
  }

  void send(uint64_t ticket, const Notification& n) override {
    GVariantBuilder actions;
    g_variant_builder_init(&actions, G_VARIANT_TYPE("as"));
    for (const std::string& a : n.actions)
      g_variant_builder_add(&actions, "s", a.c_str());
    GVariantBuilder hints;
    g_variant_builder_init(&hints, G_VARIANT_TYPE("a{sv}"));
    if (!g_bundle_id.empty()) {
      g_variant_builder_add(&hints, "{sv}", "desktop-entry",
                            g_variant_new_string(g_bundle_id.c_str()));
    }
    if (n.sound) {
      g_variant_builder_add(&hints, "{sv}", "sound-name",
                            g_variant_new_string("message-new-instant"));
    }
    if (!n.reply_placeholder.empty()) {
      g_variant_builder_add(&hints, "{sv}", "x-kde-reply-placeholder-text",
                            g_variant_new_string(n.reply_placeholder.c_str()));
    }
    if (!n.reply_button.empty()) {
      g_variant_builder_add(&hints, "{sv}", "x-kde-reply-submit-button-text",
                            g_variant_new_string(n.reply_button.c_str()));
    }
    GVariant* args =
        g_variant_new("(susssasa{sv}i)", service_app_name().c_str(), n.replaces, app_icon().c_str(),
                      n.summary.c_str(), n.body.c_str(), &actions, &hints, -1);
    bus_call(server_call("Notify", "(u)"), args,
             [ticket](GVariant* reply, GUnixFDList*, const std::string& error) {
               guint32 id = 0;
               if (reply) g_variant_get(reply, "(u)", &id);
               if (debug_lines()) {
                 std::fprintf(stderr, "DBG deliver err=%s\n", reply ? "none" : error.c_str());
               }
               center().sent(ticket, id);
             });
  }

  void run_script(const NotifReq& req) override {
    std::vector<std::string> argv = notify_send_argv(service_app_name(), req);
    std::vector<char*> args;
    for (std::string& a : argv)
      args.push_back(a.data());
    args.push_back(nullptr);
    GError* error = nullptr;
    // Without a reaping flag the child is started through an intermediate process, so it is
    // never waited for.
    if (!g_spawn_async(nullptr, args.data(), nullptr, G_SPAWN_SEARCH_PATH, nullptr, nullptr,
                       nullptr, &error)) {
      std::fprintf(stderr, "kelojs: notification dropped: no notification server, and %s\n",
                   error->message);
      g_error_free(error);
    }
  }

  void ask_reply(const ReplyPrompt& prompt) override { show_reply_dialog(prompt); }

  void emit(const std::string& line) override { sock_write_line(line); }

  std::string make_uuid() override {
    GCharPtr uuid(g_uuid_string_random());
    GCharPtr upper(g_ascii_strup(uuid.get(), -1));
    return upper.get();
  }
};

NotifyCenter& center() {
  static BusPort port;
  static NotifyCenter c(port);
  return c;
}

}  // namespace

std::string service_app_name() {
  return g_app_name.empty() ? "kelojs" : g_app_name;
}

void do_notify(webview_t, std::unique_ptr<NotifReq> req) {
  center().post(std::move(*req));
}

void notify_server_answers(std::function<void(bool)> done) {
  capabilities(
      [done](GVariant* reply, GUnixFDList*, const std::string&) { done(reply != nullptr); });
}
