#include "menus/tray_dbus.h"

#include <gio/gio.h>
#include <gtk/gtk.h>
#include <libdbusmenu-glib/dbusmenu-glib.h>
#include <unistd.h>

#include <cstdio>
#include <optional>
#include <unordered_map>
#include <utility>

#include "launcher/app_state.h"
#include "menus/menu_bar.h"
#include "menus/menu_bar_gtk.h"
#include "menus/menu_images_gtk.h"
#include "menus/menu_state.h"
#include "menus/tray.h"
#include "platform/gobj.h"
#include "windows/screens_gtk.h"
#include "wire/link.h"

namespace {

constexpr char kItemPath[] = "/StatusNotifierItem";
constexpr char kMenuPath[] = "/MenuBar";
constexpr char kNoMenuPath[] = "/NO_DBUSMENU";
constexpr char kItemIface[] = "org.kde.StatusNotifierItem";
constexpr char kWatcher[] = "org.kde.StatusNotifierWatcher";
constexpr char kSpecKey[] = "kelo-tray-spec";
constexpr int kIconHeight = 18;
constexpr int kMenuImageSize = 16;

constexpr char kItemXml[] = R"xml(<node>
<interface name="org.kde.StatusNotifierItem">
  <property name="Category" type="s" access="read"/>
  <property name="Id" type="s" access="read"/>
  <property name="Title" type="s" access="read"/>
  <property name="Status" type="s" access="read"/>
  <property name="WindowId" type="i" access="read"/>
  <property name="IconThemePath" type="s" access="read"/>
  <property name="IconName" type="s" access="read"/>
  <property name="IconPixmap" type="a(iiay)" access="read"/>
  <property name="OverlayIconName" type="s" access="read"/>
  <property name="OverlayIconPixmap" type="a(iiay)" access="read"/>
  <property name="AttentionIconName" type="s" access="read"/>
  <property name="AttentionIconPixmap" type="a(iiay)" access="read"/>
  <property name="AttentionMovieName" type="s" access="read"/>
  <property name="ToolTip" type="(sa(iiay)ss)" access="read"/>
  <property name="ItemIsMenu" type="b" access="read"/>
  <property name="Menu" type="o" access="read"/>
  <property name="XAyatanaLabel" type="s" access="read"/>
  <property name="XAyatanaLabelGuide" type="s" access="read"/>
  <property name="XAyatanaOrderingIndex" type="u" access="read"/>
  <method name="ContextMenu"><arg type="i" direction="in"/><arg type="i" direction="in"/></method>
  <method name="Activate"><arg type="i" direction="in"/><arg type="i" direction="in"/></method>
  <method name="SecondaryActivate"><arg type="i" direction="in"/><arg type="i" direction="in"/></method>
  <method name="Scroll"><arg type="i" direction="in"/><arg type="s" direction="in"/></method>
  <signal name="NewTitle"/>
  <signal name="NewIcon"/>
  <signal name="NewToolTip"/>
  <signal name="NewStatus"><arg type="s"/></signal>
  <signal name="XAyatanaNewLabel"><arg type="s"/><arg type="s"/></signal>
</interface>
</node>)xml";

struct Tray {
  bool exists = false;
  TraySpec spec;  // its items live in the menu state
  TrayMode mode;
  std::string icon_name;                     // an icon of the theme, or
  GRef<GdkPixbuf> pixmap;                    // an image file
  std::optional<std::pair<int, int>> point;  // root coordinates the desktop last gave

  GRef<GDBusConnection> bus;
  bool bus_asked = false;
  bool watcher = false;  // a StatusNotifierWatcher is on the bus
  guint object_id = 0;
  guint owner_id = 0;
  bool name_owned = false;
  std::string name;
  unsigned instance = 0;
  GRef<DbusmenuServer> server;
  std::unordered_map<const MenuItemSpec*, DbusmenuMenuitem*> items;
};
Tray g_tray;

GVariant* string_variant(const std::string& text) {
  return g_variant_new_string(valid_utf8(text).c_str());
}

// The icon as the protocol carries images: ARGB32 in network byte order.
GVariant* pixmaps() {
  GVariantBuilder b;
  g_variant_builder_init(&b, G_VARIANT_TYPE("a(iiay)"));
  if (GdkPixbuf* p = g_tray.pixmap.get()) {
    int w = gdk_pixbuf_get_width(p), h = gdk_pixbuf_get_height(p);
    int channels = gdk_pixbuf_get_n_channels(p), stride = gdk_pixbuf_get_rowstride(p);
    const guchar* pixels = gdk_pixbuf_read_pixels(p);
    std::string argb(static_cast<size_t>(w) * h * 4, '\0');
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) {
        const guchar* in = pixels + y * stride + x * channels;
        char* out = &argb[(static_cast<size_t>(y) * w + x) * 4];
        out[0] = static_cast<char>(channels == 4 ? in[3] : 255);
        out[1] = static_cast<char>(in[0]);
        out[2] = static_cast<char>(in[1]);
        out[3] = static_cast<char>(in[2]);
      }
    }
    g_variant_builder_add(
        &b, "(ii@ay)", w, h,
        g_variant_new_fixed_array(G_VARIANT_TYPE_BYTE, argb.data(), argb.size(), 1));
  }
  return g_variant_builder_end(&b);
}

GVariant* no_pixmaps() {
  return g_variant_new_array(G_VARIANT_TYPE("(iiay)"), nullptr, 0);
}

GVariant* get_property(GDBusConnection*, const char*, const char*, const char*, const char* name,
                       GError**, gpointer) {
  const Tray& t = g_tray;
  std::string_view p = name;
  if (p == "Category") return g_variant_new_string("ApplicationStatus");
  if (p == "Id") return string_variant(g_bundle_id.empty() ? g_app_name : g_bundle_id);
  if (p == "Title") return string_variant(g_app_name);
  if (p == "Status") return g_variant_new_string("Active");
  if (p == "WindowId") return g_variant_new_int32(0);
  if (p == "IconName") return g_variant_new_string(t.icon_name.c_str());
  if (p == "IconPixmap") return pixmaps();
  if (p.ends_with("Pixmap")) return no_pixmaps();
  if (p == "ToolTip") {
    return g_variant_new("(s@a(iiay)ss)", "", no_pixmaps(), valid_utf8(t.spec.tooltip).c_str(), "");
  }
  if (p == "ItemIsMenu") return g_variant_new_boolean(t.mode.item_is_menu);
  if (p == "Menu") {
    return g_variant_new_object_path(menu_state().tray_items().empty() ? kNoMenuPath : kMenuPath);
  }
  if (p == "XAyatanaLabel" || p == "XAyatanaLabelGuide") return string_variant(t.spec.title);
  if (p == "XAyatanaOrderingIndex") return g_variant_new_uint32(0);
  return g_variant_new_string("");  // IconThemePath and the overlay and attention names
}

// Clicks: the primary one is reported unless the item is a menu; the desktop shows the menu
// itself. Every click tells where the item is.
void on_call(GDBusConnection*, const char*, const char*, const char*, const char* method,
             GVariant* params, GDBusMethodInvocation* invocation, gpointer) {
  std::string_view m = method;
  if (m == "Activate" || m == "ContextMenu" || m == "SecondaryActivate") {
    int x = 0, y = 0;
    g_variant_get(params, "(ii)", &x, &y);
    g_tray.point = std::make_pair(x, y);
    if (m == "Activate" && g_tray.mode.reports_click) sock_write_line("TRAYCLICK");
  }
  g_dbus_method_invocation_return_value(invocation, nullptr);
}

void register_with_watcher() {
  if (!g_tray.watcher || !g_tray.name_owned) return;
  g_dbus_connection_call(g_tray.bus.get(), kWatcher, "/StatusNotifierWatcher", kWatcher,
                         "RegisterStatusNotifierItem", g_variant_new("(s)", g_tray.name.c_str()),
                         nullptr, G_DBUS_CALL_FLAGS_NO_AUTO_START, -1, nullptr, nullptr, nullptr);
}

void emit(const char* signal, GVariant* params = nullptr) {
  if (!g_tray.object_id) return;
  g_dbus_connection_emit_signal(g_tray.bus.get(), nullptr, kItemPath, kItemIface, signal, params,
                                nullptr);
}

// Tells the desktop that everything it shows of the item may have changed.
void announce() {
  emit("NewIcon");
  emit("NewTitle");
  emit("NewToolTip");
  emit("NewStatus", g_variant_new("(s)", "Active"));
  std::string label = valid_utf8(g_tray.spec.title);
  emit("XAyatanaNewLabel", g_variant_new("(ss)", label.c_str(), label.c_str()));
}

// Puts the item on the bus under a name of its own, which the watcher is given.
void publish() {
  Tray& t = g_tray;
  if (!t.bus || t.object_id || !t.exists) return;
  static GDBusNodeInfo* info = g_dbus_node_info_new_for_xml(kItemXml, nullptr);
  static const GDBusInterfaceVTable vtable{on_call, get_property, nullptr, {}};
  t.object_id = g_dbus_connection_register_object(t.bus.get(), kItemPath, info->interfaces[0],
                                                  &vtable, nullptr, nullptr, nullptr);
  char name[96];
  std::snprintf(name, sizeof name, "org.kde.StatusNotifierItem-%d-%u", static_cast<int>(getpid()),
                ++t.instance);
  t.name = name;
  t.owner_id = g_bus_own_name_on_connection(
      t.bus.get(), name, G_BUS_NAME_OWNER_FLAGS_NONE,
      [](GDBusConnection*, const char*, gpointer) {
        g_tray.name_owned = true;
        register_with_watcher();
      },
      [](GDBusConnection*, const char*, gpointer) { g_tray.name_owned = false; }, nullptr, nullptr);
}

// Leaves the bus: the watcher sees the name go and drops the item.
void unpublish() {
  Tray& t = g_tray;
  if (t.owner_id) g_bus_unown_name(t.owner_id);
  if (t.object_id) g_dbus_connection_unregister_object(t.bus.get(), t.object_id);
  t.owner_id = t.object_id = 0;
  t.name_owned = false;
}

void ask_for_bus() {
  if (g_tray.bus_asked) return;
  g_tray.bus_asked = true;
  g_bus_get(
      G_BUS_TYPE_SESSION, nullptr,
      [](GObject*, GAsyncResult* result, gpointer) {
        GDBusConnection* bus = g_bus_get_finish(result, nullptr);
        if (!bus) return;  // no session bus: the state is kept and reported
        g_tray.bus = GRef<GDBusConnection>::adopt(bus);
        g_bus_watch_name_on_connection(
            bus, kWatcher, G_BUS_NAME_WATCHER_FLAGS_NONE,
            [](GDBusConnection*, const char*, const char*, gpointer) {
              g_tray.watcher = true;
              register_with_watcher();
            },
            [](GDBusConnection*, const char*, gpointer) { g_tray.watcher = false; }, nullptr,
            nullptr);
        publish();
      },
      nullptr);
}

// Labels mark mnemonics with "_"; the backend's underscores are shown as they are.
std::string menu_label(const std::string& label) {
  std::string out;
  for (char c : valid_utf8(label)) {
    if (c == '_') out += '_';
    out += c;
  }
  return out;
}

void set_state(DbusmenuMenuitem* mi, const MenuItemSpec& spec) {
  dbusmenu_menuitem_property_set(mi, DBUSMENU_MENUITEM_PROP_LABEL, menu_label(spec.label).c_str());
  dbusmenu_menuitem_property_set_bool(mi, DBUSMENU_MENUITEM_PROP_ENABLED, !spec.disabled);
  if (spec.checked || dbusmenu_menuitem_property_exist(mi, DBUSMENU_MENUITEM_PROP_TOGGLE_TYPE)) {
    dbusmenu_menuitem_property_set(mi, DBUSMENU_MENUITEM_PROP_TOGGLE_TYPE,
                                   DBUSMENU_MENUITEM_TOGGLE_CHECK);
    dbusmenu_menuitem_property_set_int(mi, DBUSMENU_MENUITEM_PROP_TOGGLE_STATE,
                                       spec.checked ? DBUSMENU_MENUITEM_TOGGLE_STATE_CHECKED
                                                    : DBUSMENU_MENUITEM_TOGGLE_STATE_UNCHECKED);
  }
}

void set_image(DbusmenuMenuitem* mi, const std::string& image) {
  if (image.starts_with("sf:")) {
    std::string name = symbol_icon_name(std::string_view(image).substr(3), true);
    if (!name.empty())
      dbusmenu_menuitem_property_set(mi, DBUSMENU_MENUITEM_PROP_ICON_NAME, name.c_str());
    return;
  }
  GRef<GdkPixbuf> pixbuf =
      image.starts_with("emoji:")
          ? text_pixbuf(std::string_view(image).substr(6), kMenuImageSize, {0, 0, 0, 1})
          : file_pixbuf(image, kMenuImageSize);
  gchar* png = nullptr;
  gsize size = 0;
  if (pixbuf && gdk_pixbuf_save_to_buffer(pixbuf.get(), &png, &size, "png", nullptr, nullptr)) {
    dbusmenu_menuitem_property_set_byte_array(mi, DBUSMENU_MENUITEM_PROP_ICON_DATA,
                                              reinterpret_cast<const guchar*>(png), size);
    g_free(png);
  }
}

// The key of an accelerator as dbusmenu names it: modifier names, then the key.
void set_shortcut(DbusmenuMenuitem* mi, const std::string& accelerator) {
  Accel accel = desktop_accel(accelerator);
  if (accel.key.empty()) return;
  GVariantBuilder keys;
  g_variant_builder_init(&keys, G_VARIANT_TYPE("as"));
  if (accel.mods & kKeyCtrl) g_variant_builder_add(&keys, "s", "Control");
  if (accel.mods & kKeyAlt) g_variant_builder_add(&keys, "s", "Alt");
  if (accel.mods & kKeyShift) g_variant_builder_add(&keys, "s", "Shift");
  g_variant_builder_add(&keys, "s", valid_utf8(accel.key).c_str());
  GVariant* one = g_variant_builder_end(&keys);
  dbusmenu_menuitem_property_set_variant(mi, DBUSMENU_MENUITEM_PROP_SHORTCUT,
                                         g_variant_new_array(nullptr, &one, 1));
}

void on_item_activated(DbusmenuMenuitem* mi, guint, gpointer) {
  auto* spec = static_cast<const MenuItemSpec*>(g_object_get_data(G_OBJECT(mi), kSpecKey));
  if (spec) sock_write_line("TRAY " + spec->id);
}

// Prepending from the end keeps each insertion at the head of the parent's list.
void add_items(DbusmenuMenuitem* parent, const std::vector<MenuItemSpec>& items) {
  for (auto it = items.rbegin(); it != items.rend(); ++it) {
    const MenuItemSpec& spec = *it;
    DbusmenuMenuitem* mi = dbusmenu_menuitem_new();
    if (spec.separator) {
      dbusmenu_menuitem_property_set(mi, DBUSMENU_MENUITEM_PROP_TYPE, "separator");
    } else {
      set_state(mi, spec);
      set_image(mi, spec.image);
      set_shortcut(mi, spec.accelerator);
      if (!spec.submenu.empty()) {
        dbusmenu_menuitem_property_set(mi, DBUSMENU_MENUITEM_PROP_CHILD_DISPLAY,
                                       DBUSMENU_MENUITEM_CHILD_DISPLAY_SUBMENU);
        add_items(mi, spec.submenu);
      } else {
        g_object_set_data(G_OBJECT(mi), kSpecKey, const_cast<MenuItemSpec*>(&spec));
        g_signal_connect(mi, DBUSMENU_MENUITEM_SIGNAL_ITEM_ACTIVATED, G_CALLBACK(on_item_activated),
                         nullptr);
      }
      g_tray.items[&spec] = mi;
    }
    dbusmenu_menuitem_child_prepend(parent, mi);
    g_object_unref(mi);
  }
}

// The tray menu on the bus, rebuilt from the menu state.
void export_menu() {
  Tray& t = g_tray;
  if (!t.server) t.server = GRef<DbusmenuServer>::adopt(dbusmenu_server_new(kMenuPath));
  t.items.clear();
  DbusmenuMenuitem* root = dbusmenu_menuitem_new();
  add_items(root, menu_state().tray_items());
  dbusmenu_server_set_root(t.server.get(), root);
  g_object_unref(root);
}

void load_icon(const TraySpec& spec) {
  Tray& t = g_tray;
  t.icon_name.clear();
  t.pixmap.reset();
  if (spec.icon.starts_with("sf:")) {
    t.icon_name = symbol_icon_name(std::string_view(spec.icon).substr(3), spec.template_icon);
  } else {
    t.pixmap = file_pixbuf(spec.icon, kIconHeight);
  }
}

// The desktop's interface font: its family and size in points.
std::pair<std::string, double> desktop_font() {
  GCharPtr name;
  if (GtkSettings* settings = gtk_settings_get_default()) {
    gchar* value = nullptr;
    g_object_get(settings, "gtk-font-name", &value, nullptr);
    name.reset(value);
  }
  PangoFontDescription* desc = pango_font_description_from_string(name ? name.get() : "Sans 10");
  const char* family = pango_font_description_get_family(desc);
  std::pair<std::string, double> out{family ? family : "Sans",
                                     pango_font_description_get_size(desc) / double(PANGO_SCALE)};
  pango_font_description_free(desc);
  return out;
}

}  // namespace

void do_tray(webview_t, std::unique_ptr<TraySpec> spec) {
  Tray& t = g_tray;
  menu_state().set_tray_items(std::move(spec->items));
  if (spec->remove) {
    t.exists = false;
    t.point.reset();
    unpublish();
    if (t.server) export_menu();  // the held menu goes
    return;
  }
  t.mode = tray_mode(!menu_state().tray_items().empty(), spec->primary_action);
  t.spec = std::move(*spec);
  load_icon(t.spec);
  bool created = !t.exists;
  t.exists = true;
  export_menu();
  ask_for_bus();
  if (created) {
    publish();
  } else {
    announce();
  }
}

void tray_items_changed(const std::vector<const MenuItemSpec*>& items) {
  for (const MenuItemSpec* spec : items) {
    auto it = g_tray.items.find(spec);
    if (it != g_tray.items.end()) set_state(it->second, *spec);
  }
}

std::string tray_pos_json() {
  if (!g_tray.exists || !g_tray.point) return "null";
  int ox = 0, oy = 0;
  wire_origin(ox, oy);
  char buf[96];
  std::snprintf(buf, sizeof buf, "{\"x\":%d,\"y\":%d,\"width\":0,\"height\":0}",
                g_tray.point->first - ox, g_tray.point->second - oy);
  return buf;
}

std::string tray_debug() {
  const Tray& t = g_tray;
  if (!t.exists) return tray_debug_json(nullptr);
  TrayFacts facts;
  facts.mode = t.mode;
  facts.icon = !t.icon_name.empty() || t.pixmap;
  facts.title = t.spec.title;
  auto [family, size] = desktop_font();
  facts.font = tray_font(t.spec.title_font, family, size);
  facts.font_chosen = t.spec.title_font == "monospaced" || t.spec.title_font == "monospacedDigit";
  facts.colour = parse_title_colour(t.spec.title_colour);
  return tray_debug_json(&facts);
}
