// Theme, locale, sleep and wake: what the desktop reports, as "SYS" lines.
#include <gio/gio.h>
#include <gtk/gtk.h>

#include <cstdlib>
#include <cstring>

#include "platform/gobj.h"
#include "windows/screens_gtk.h"
#include "windows/winstate.h"
#include "wire/link.h"

namespace {

// The desktop portal's colour scheme: 1 prefers dark, 2 prefers light, 0 has no preference.
int g_portal_scheme = 0;

void send_theme() {
  sock_write_line(theme_is_dark() ? "SYS theme dark" : "SYS theme light");
}

void on_system_signal(GDBusConnection*, const char*, const char*, const char* interface,
                      const char* signal, GVariant* params, gpointer) {
  if (std::strcmp(signal, "PrepareForSleep") == 0) {
    gboolean going = FALSE;
    g_variant_get(params, "(b)", &going);
    sock_write_line(going ? "SYS sleep" : "SYS wake");
  } else if (std::strcmp(signal, "PropertiesChanged") == 0 &&
             std::strcmp(interface, "org.freedesktop.DBus.Properties") == 0) {
    const char* iface = nullptr;
    GVariant* changed = nullptr;
    g_variant_get(params, "(&s@a{sv}@as)", &iface, &changed, nullptr);
    GVariant* locale = changed ? g_variant_lookup_value(changed, "Locale", nullptr) : nullptr;
    if (locale) {
      sock_write_line("SYSLOCALE " + locale_json(current_locale(locale)));
      g_variant_unref(locale);
    }
    if (changed) g_variant_unref(changed);
  }
}

void on_portal_signal(GDBusConnection*, const char*, const char*, const char*, const char*,
                      GVariant* params, gpointer) {
  const char* ns = nullptr;
  const char* key = nullptr;
  GVariant* value = nullptr;
  g_variant_get(params, "(&s&sv)", &ns, &key, &value);
  if (std::strcmp(ns, "org.freedesktop.appearance") == 0 && std::strcmp(key, "color-scheme") == 0 &&
      g_variant_is_of_type(value, G_VARIANT_TYPE_UINT32)) {
    g_portal_scheme = static_cast<int>(g_variant_get_uint32(value));
    send_theme();
  }
  g_variant_unref(value);
}

void watch_system_bus() {
  g_bus_get(
      G_BUS_TYPE_SYSTEM, nullptr,
      [](GObject*, GAsyncResult* result, gpointer) {
        GDBusConnection* bus = g_bus_get_finish(result, nullptr);
        if (!bus) return;  // no system bus: no sleep, wake or locale events
        g_dbus_connection_signal_subscribe(
            bus, "org.freedesktop.login1", "org.freedesktop.login1.Manager", "PrepareForSleep",
            "/org/freedesktop/login1", nullptr, G_DBUS_SIGNAL_FLAGS_NONE, on_system_signal, nullptr,
            nullptr);
        g_dbus_connection_signal_subscribe(
            bus, "org.freedesktop.locale1", "org.freedesktop.DBus.Properties", "PropertiesChanged",
            "/org/freedesktop/locale1", "org.freedesktop.locale1", G_DBUS_SIGNAL_FLAGS_NONE,
            on_system_signal, nullptr, nullptr);
        // The connection lives as long as the process: the subscriptions hold on to it.
      },
      nullptr);
}

// The portal's current scheme, read once: when it differs from what GTK's settings said at
// start, the theme is sent again.
void on_portal_read(GObject* bus, GAsyncResult* result, gpointer) {
  GVariant* reply = g_dbus_connection_call_finish(G_DBUS_CONNECTION(bus), result, nullptr);
  if (!reply) return;  // no portal, or no such setting
  GVariant* value = g_variant_get_child_value(reply, 0);
  // Older portals wrap the value twice.
  while (g_variant_is_of_type(value, G_VARIANT_TYPE_VARIANT)) {
    GVariant* inner = g_variant_get_variant(value);
    g_variant_unref(value);
    value = inner;
  }
  if (g_variant_is_of_type(value, G_VARIANT_TYPE_UINT32)) {
    bool was_dark = theme_is_dark();
    g_portal_scheme = static_cast<int>(g_variant_get_uint32(value));
    if (theme_is_dark() != was_dark) send_theme();
  }
  g_variant_unref(value);
  g_variant_unref(reply);
}

void watch_portal() {
  g_bus_get(
      G_BUS_TYPE_SESSION, nullptr,
      [](GObject*, GAsyncResult* result, gpointer) {
        GDBusConnection* bus = g_bus_get_finish(result, nullptr);
        if (!bus) return;
        g_dbus_connection_signal_subscribe(
            bus, "org.freedesktop.portal.Desktop", "org.freedesktop.portal.Settings",
            "SettingChanged", "/org/freedesktop/portal/desktop", nullptr, G_DBUS_SIGNAL_FLAGS_NONE,
            on_portal_signal, nullptr, nullptr);
        g_dbus_connection_call(bus, "org.freedesktop.portal.Desktop",
                               "/org/freedesktop/portal/desktop", "org.freedesktop.portal.Settings",
                               "Read",
                               g_variant_new("(ss)", "org.freedesktop.appearance", "color-scheme"),
                               G_VARIANT_TYPE("(v)"), G_DBUS_CALL_FLAGS_NO_AUTO_START, 2000,
                               nullptr, on_portal_read, nullptr);
      },
      nullptr);
  GtkSettings* settings = gtk_settings_get_default();
  if (!settings) return;
  auto changed = G_CALLBACK(+[](GObject*, GParamSpec*, gpointer) { send_theme(); });
  g_signal_connect(settings, "notify::gtk-application-prefer-dark-theme", changed, nullptr);
  g_signal_connect(settings, "notify::gtk-theme-name", changed, nullptr);
}

}  // namespace

LocaleInfo current_locale(GVariant* system_locale) {
  LocaleInfo info;
  info.languages = languages_from_env(std::getenv("LANGUAGE"), std::getenv("LC_ALL"),
                                      std::getenv("LC_MESSAGES"), std::getenv("LANG"));
  if (system_locale && g_variant_is_of_type(system_locale, G_VARIANT_TYPE_STRING_ARRAY)) {
    gsize n = 0;
    const char** entries = g_variant_get_strv(system_locale, &n);
    for (gsize i = 0; i < n; ++i) {
      if (std::strncmp(entries[i], "LANG=", 5) == 0) {
        info.system = languages_from_env(nullptr, nullptr, nullptr, entries[i] + 5);
      }
    }
    g_free(entries);
  }
  const char* region_source = nullptr;
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* v = std::getenv(name);
    if (v && *v) {
      region_source = v;
      break;
    }
  }
  info.region = region_from_locale(region_source);
  GTimeZone* tz = g_time_zone_new_local();
  info.time_zone = g_time_zone_get_identifier(tz);
  g_time_zone_unref(tz);
  return info;
}

bool theme_is_dark() {
  if (g_portal_scheme == 1) return true;
  if (g_portal_scheme == 2) return false;
  GtkSettings* settings = gtk_settings_get_default();
  gboolean prefer_dark = FALSE;
  GCharPtr theme;
  if (settings) {
    char* name = nullptr;
    g_object_get(settings, "gtk-application-prefer-dark-theme", &prefer_dark, "gtk-theme-name",
                 &name, nullptr);
    theme.reset(name);
  }
  const char* env_theme = std::getenv("GTK_THEME");
  auto dark_name = [](const char* n) {
    if (!n) return false;
    size_t len = std::strlen(n);
    return std::strstr(n, ":dark") != nullptr ||
           (len > 5 && std::strcmp(n + len - 5, "-dark") == 0);
  };
  return prefer_dark || dark_name(theme.get()) || dark_name(env_theme);
}

void install_system_observers() {
  watch_portal();
  send_theme();
  watch_system_bus();
  install_screen_observers();
}
