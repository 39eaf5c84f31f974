// Now playing as an MPRIS 2 media player. The desktop routes its media keys, sound menu and
// lock-screen controls to MPRIS players, so the player's methods are where the MEDIAKEY lines
// come from. The player appears on the bus with the first track the backend publishes and stays
// from then on; the launcher never acts on the controls itself.
#include "services/nowplaying_dbus.h"

#include <gio/gio.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "launcher/app_state.h"
#include "platform/gobj.h"
#include "wire/link.h"

namespace {

constexpr char kPath[] = "/org/mpris/MediaPlayer2";
constexpr char kRootIface[] = "org.mpris.MediaPlayer2";
constexpr char kPlayerIface[] = "org.mpris.MediaPlayer2.Player";

constexpr char kNodeXml[] = R"(<node>
<interface name="org.mpris.MediaPlayer2">
  <method name="Raise"/>
  <method name="Quit"/>
  <property name="CanQuit" type="b" access="read"/>
  <property name="CanRaise" type="b" access="read"/>
  <property name="HasTrackList" type="b" access="read"/>
  <property name="Identity" type="s" access="read"/>
  <property name="DesktopEntry" type="s" access="read"/>
  <property name="SupportedUriSchemes" type="as" access="read"/>
  <property name="SupportedMimeTypes" type="as" access="read"/>
</interface>
<interface name="org.mpris.MediaPlayer2.Player">
  <method name="Next"/>
  <method name="Previous"/>
  <method name="Pause"/>
  <method name="PlayPause"/>
  <method name="Stop"/>
  <method name="Play"/>
  <method name="Seek"><arg direction="in" name="Offset" type="x"/></method>
  <method name="SetPosition">
    <arg direction="in" name="TrackId" type="o"/>
    <arg direction="in" name="Position" type="x"/>
  </method>
  <method name="OpenUri"><arg direction="in" name="Uri" type="s"/></method>
  <signal name="Seeked"><arg name="Position" type="x"/></signal>
  <property name="PlaybackStatus" type="s" access="read"/>
  <property name="Rate" type="d" access="readwrite"/>
  <property name="Metadata" type="a{sv}" access="read"/>
  <property name="Volume" type="d" access="readwrite"/>
  <property name="Position" type="x" access="read"/>
  <property name="MinimumRate" type="d" access="read"/>
  <property name="MaximumRate" type="d" access="read"/>
  <property name="CanGoNext" type="b" access="read"/>
  <property name="CanGoPrevious" type="b" access="read"/>
  <property name="CanPlay" type="b" access="read"/>
  <property name="CanPause" type="b" access="read"/>
  <property name="CanSeek" type="b" access="read"/>
  <property name="CanControl" type="b" access="read"/>
</interface>
</node>)";

// The player's methods that are media keys, with the MEDIAKEY names they send. Stop has no
// name of its own: it pauses.
constexpr std::pair<const char*, const char*> kKeys[] = {
    {"Play", "play"}, {"Pause", "pause"},       {"PlayPause", "toggle"},
    {"Next", "next"}, {"Previous", "previous"}, {"Stop", "pause"},
};

struct Mpris {
  MediaPlayer player;
  bool armed = false;
  GRef<GDBusConnection> bus;  // once connected and the objects are registered
  unsigned owner = 0;
  bool instance_name = false;         // owning the name with the pid, the plain one being taken
  GVariant* sent_metadata = nullptr;  // the values the desktop was last told
  std::string sent_status;
};
Mpris g_mpris;  // main thread

GVariant* utf8(const std::string& text) {
  GCharPtr valid(g_utf8_make_valid(text.c_str(), -1));
  return g_variant_new_string(valid.get());
}

const char* status_text() {
  switch (g_mpris.player.status()) {
    case MediaPlayer::Status::Playing:
      return "Playing";
    case MediaPlayer::Status::Paused:
      return "Paused";
    case MediaPlayer::Status::Stopped:
      break;
  }
  return "Stopped";
}

GVariant* metadata() {
  GVariantBuilder b;
  g_variant_builder_init(&b, G_VARIANT_TYPE_VARDICT);
  const MediaPlayer& p = g_mpris.player;
  if (p.status() != MediaPlayer::Status::Stopped) {
    g_variant_builder_add(&b, "{sv}", "mpris:trackid",
                          g_variant_new_object_path(p.track_id().c_str()));
    if (auto length = p.length()) {
      g_variant_builder_add(&b, "{sv}", "mpris:length", g_variant_new_int64(*length));
    }
    const NowPlayingInfo& t = p.track();
    if (t.title) g_variant_builder_add(&b, "{sv}", "xesam:title", utf8(*t.title));
    if (t.album) g_variant_builder_add(&b, "{sv}", "xesam:album", utf8(*t.album));
    if (t.artist) {
      GVariant* one = utf8(*t.artist);
      g_variant_builder_add(&b, "{sv}", "xesam:artist", g_variant_new_array(nullptr, &one, 1));
    }
  }
  return g_variant_builder_end(&b);
}

GVariant* get_property(GDBusConnection*, const char*, const char*, const char* iface,
                       const char* name, GError** error, gpointer) {
  auto is = [name](const char* n) { return std::strcmp(name, n) == 0; };
  if (std::strcmp(iface, kRootIface) == 0) {
    if (is("Identity")) return utf8(g_app_name);
    if (is("DesktopEntry")) return utf8(g_bundle_id);
    if (is("SupportedUriSchemes") || is("SupportedMimeTypes")) return g_variant_new_strv({}, 0);
    if (is("CanQuit") || is("CanRaise") || is("HasTrackList")) return g_variant_new_boolean(FALSE);
  } else {
    const MediaPlayer& p = g_mpris.player;
    if (is("PlaybackStatus")) return g_variant_new_string(status_text());
    if (is("Metadata")) return metadata();
    if (is("Position")) return g_variant_new_int64(p.position(g_get_monotonic_time()));
    if (is("Rate") || is("Volume") || is("MinimumRate") || is("MaximumRate")) {
      return g_variant_new_double(1.0);
    }
    if (is("CanSeek")) return g_variant_new_boolean(p.status() != MediaPlayer::Status::Stopped);
    if (g_str_has_prefix(name, "Can")) return g_variant_new_boolean(TRUE);
  }
  g_set_error(error, G_DBUS_ERROR, G_DBUS_ERROR_UNKNOWN_PROPERTY, "no property %s", name);
  return nullptr;
}

// Rate and Volume are the app's to decide: a change from outside is accepted and not applied.
gboolean set_property(GDBusConnection*, const char*, const char*, const char*, const char*,
                      GVariant*, GError**, gpointer) {
  return TRUE;
}

void method_call(GDBusConnection*, const char*, const char*, const char* iface, const char* method,
                 GVariant* params, GDBusMethodInvocation* invocation, gpointer) {
  std::optional<std::string> line;
  if (std::strcmp(iface, kPlayerIface) == 0) {
    for (auto [name, key] : kKeys) {
      if (std::strcmp(method, name) == 0) line = mediakey_line(key);
    }
    if (std::strcmp(method, "Seek") == 0) {
      gint64 offset = 0;
      g_variant_get(params, "(x)", &offset);
      line = g_mpris.player.seek_by(offset, g_get_monotonic_time());
    } else if (std::strcmp(method, "SetPosition") == 0) {
      const char* track = nullptr;
      gint64 position = 0;
      g_variant_get(params, "(&ox)", &track, &position);
      line = g_mpris.player.set_position(track, position);
    } else if (std::strcmp(method, "OpenUri") == 0) {
      g_dbus_method_invocation_return_error_literal(invocation, G_DBUS_ERROR,
                                                    G_DBUS_ERROR_NOT_SUPPORTED, "cannot open URIs");
      return;
    }
  }
  // Raise and Quit do nothing: CanRaise and CanQuit say so.
  if (line) sock_write_line(*line);
  g_dbus_method_invocation_return_value(invocation, nullptr);
}

// Tells the desktop what changed since it was last told.
void notify_changes(bool seeked) {
  if (!g_mpris.bus) return;
  GVariantBuilder changed;
  g_variant_builder_init(&changed, G_VARIANT_TYPE_VARDICT);
  bool any = false;
  if (g_mpris.sent_status != status_text()) {
    g_mpris.sent_status = status_text();
    g_variant_builder_add(&changed, "{sv}", "PlaybackStatus", g_variant_new_string(status_text()));
    g_variant_builder_add(&changed, "{sv}", "CanSeek",
                          g_variant_new_boolean(g_mpris.sent_status != "Stopped"));
    any = true;
  }
  GVariant* now = g_variant_ref_sink(metadata());
  if (!g_mpris.sent_metadata || !g_variant_equal(now, g_mpris.sent_metadata)) {
    g_variant_builder_add(&changed, "{sv}", "Metadata", now);
    any = true;
  }
  if (g_mpris.sent_metadata) g_variant_unref(g_mpris.sent_metadata);
  g_mpris.sent_metadata = now;
  GVariant* props = g_variant_builder_end(&changed);
  if (any) {
    g_dbus_connection_emit_signal(
        g_mpris.bus.get(), nullptr, kPath, "org.freedesktop.DBus.Properties", "PropertiesChanged",
        g_variant_new("(s@a{sv}@as)", kPlayerIface, props, g_variant_new_strv({}, 0)), nullptr);
  } else {
    g_variant_unref(g_variant_ref_sink(props));
  }
  if (seeked) {
    gint64 position = g_mpris.player.position(g_get_monotonic_time());
    g_dbus_connection_emit_signal(g_mpris.bus.get(), nullptr, kPath, kPlayerIface, "Seeked",
                                  g_variant_new("(x)", position), nullptr);
  }
}

void own_name();

void on_name_lost(GDBusConnection* bus, const char* name, gpointer) {
  if (!bus) return;  // the bus went away
  g_bus_unown_name(g_mpris.owner);
  g_mpris.owner = 0;
  if (!g_mpris.instance_name) {
    g_mpris.instance_name = true;
    own_name();
  } else {
    std::fprintf(stderr, "kelojs: cannot own %s on the session bus\n", name);
  }
}

void own_name() {
  std::string name = mpris_bus_name(g_app_name, g_mpris.instance_name ? getpid() : 0);
  g_mpris.owner = g_bus_own_name_on_connection(g_mpris.bus.get(), name.c_str(),
                                               G_BUS_NAME_OWNER_FLAGS_DO_NOT_QUEUE, nullptr,
                                               on_name_lost, nullptr, nullptr);
}

void on_bus(GObject*, GAsyncResult* result, gpointer) {
  GError* error = nullptr;
  GRef<GDBusConnection> bus = GRef<GDBusConnection>::adopt(g_bus_get_finish(result, &error));
  if (!bus) {
    std::fprintf(stderr, "kelojs: no session bus for the media player: %s\n", error->message);
    g_error_free(error);
    return;
  }
  static const GDBusInterfaceVTable vtable = {method_call, get_property, set_property, {}};
  GDBusNodeInfo* node = g_dbus_node_info_new_for_xml(kNodeXml, nullptr);
  for (GDBusInterfaceInfo** iface = node->interfaces; *iface; ++iface) {
    if (!g_dbus_connection_register_object(bus.get(), kPath, *iface, &vtable, nullptr, nullptr,
                                           &error)) {
      std::fprintf(stderr, "kelojs: cannot publish the media player: %s\n", error->message);
      g_clear_error(&error);
    }
  }
  g_dbus_node_info_unref(node);
  g_mpris.bus = std::move(bus);
  notify_changes(false);
  own_name();
}

}  // namespace

void do_nowplaying(webview_t, std::unique_ptr<NowPlayingReq> req) {
  bool seeked = false;
  if (is_clear(*req)) {
    g_mpris.player.clear();
  } else {
    seeked = g_mpris.player.publish(now_playing_info(req->json), g_get_monotonic_time());
    if (!g_mpris.armed) {
      g_mpris.armed = true;
      g_bus_get(G_BUS_TYPE_SESSION, nullptr, on_bus, nullptr);
    }
  }
  notify_changes(seeked);
}
