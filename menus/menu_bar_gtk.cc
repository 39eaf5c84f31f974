#include "menus/menu_bar_gtk.h"

#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <algorithm>
#include <map>
#include <unordered_map>
#include <utility>
#include <vector>

#include "launcher/app_state.h"
#include "launcher/plist_source.h"
#include "launcher/startup.h"
#include "menus/menu_images_gtk.h"
#include "menus/menu_state.h"
#include "menus/tray_dbus.h"
#include "windows/app_presence_gtk.h"
#include "windows/chrome_gtk.h"
#include "windows/registry.h"
#include "wire/link.h"

namespace {

constexpr char kMenusKey[] = "kelo-menus";
constexpr char kSpecKey[] = "kelo-menu-spec";
constexpr char kItemsKey[] = "kelo-menu-items";
constexpr int kImageSize = 16;

// The widgets of one backend item, for MENUUPD to change.
struct ItemWidgets {
  GtkWidget* item;
  GtkWidget* check;
  GtkWidget* label;
};

// What a window shows of the menus: the bar built from one generation of its bar source, its
// items and its accelerators.
struct WindowMenus {
  GtkWindow* window = nullptr;
  unsigned generation = 0;
  std::unordered_map<const MenuItemSpec*, ItemWidgets> items;
  std::map<std::pair<guint, guint>, const MenuItemSpec*> keys;  // (keyval, modifiers)
};

std::vector<GtkWindow*> g_attached;

WindowMenus* menus_of(GtkWindow* window) {
  return static_cast<WindowMenus*>(g_object_get_data(G_OBJECT(window), kMenusKey));
}

// The name of the package's help book, or "".
std::string help_book() {
  if (g_bundle_path.empty()) return "";
  PlistFile plist(g_bundle_path + "/Contents/Info.plist");
  return plist_string(plist.get("CFBundleHelpBookName"));
}

// The bundle's help book in the default browser.
void open_help() {
  std::string book = help_book();
  if (book.empty()) return;
  std::string path = g_bundle_path + "/Contents/Resources/" + book + "/index.html";
  GCharPtr uri(g_filename_to_uri(path.c_str(), nullptr, nullptr));
  if (uri) g_app_info_launch_default_for_uri_async(uri.get(), nullptr, nullptr, nullptr, nullptr);
}

guint accel_modifiers(const Accel& a) {
  guint mods = 0;
  if (a.mods & kKeyCtrl) mods |= GDK_CONTROL_MASK;
  if (a.mods & kKeyAlt) mods |= GDK_MOD1_MASK;
  if (a.mods & kKeyShift) mods |= GDK_SHIFT_MASK;
  return mods;
}

// The key of an accelerator: one character, or a key name such as "F5"; 0 when unknown.
guint accel_keyval(const std::string& key) {
  if (key.empty()) return 0;
  const char* end = nullptr;
  if (g_utf8_validate(key.c_str(), static_cast<gssize>(key.size()), &end) &&
      g_utf8_strlen(key.c_str(), -1) == 1) {
    return gdk_keyval_to_lower(gdk_unicode_to_keyval(g_utf8_get_char(key.c_str())));
  }
  guint keyval = gdk_keyval_from_name(key.c_str());
  if (keyval == GDK_KEY_VoidSymbol) {
    std::string named = key;
    named[0] = g_ascii_toupper(named[0]);
    keyval = gdk_keyval_from_name(named.c_str());
  }
  return keyval == GDK_KEY_VoidSymbol ? 0 : keyval;
}

// What choosing an item does in a window: the backend hears of its own items, the launcher's
// entries act themselves.
void perform(const MenuItemSpec& item, GtkWindow* window) {
  if (item.role.empty()) {
    sock_write_line("MENU " + item.id);
  } else if (item.role == roles::kAbout) {
    kelo_show_about();
  } else if (item.role == roles::kQuit) {
    kelo_do_quit();
  } else if (item.role == roles::kInspector) {
    kelo_show_dev_tools();
  } else if (item.role == roles::kHelp) {
    open_help();
  } else {
    run_editing_command(webview_for_id(g_w, winid_for_window(window)), item.role);
  }
}

void on_activate(GtkMenuItem* item, gpointer window) {
  auto* spec = static_cast<const MenuItemSpec*>(g_object_get_data(G_OBJECT(item), kSpecKey));
  if (spec) perform(*spec, GTK_WINDOW(window));
}

// The accelerators of the bar the window shows, also while the bar is hidden. They come before
// the page: a backend item's keys are the backend's.
gboolean on_key(GtkWidget* widget, GdkEventKey* event, gpointer) {
  WindowMenus* m = menus_of(GTK_WINDOW(widget));
  guint mods = event->state & (GDK_CONTROL_MASK | GDK_MOD1_MASK | GDK_SHIFT_MASK);
  if (!m || !(mods & GDK_CONTROL_MASK)) return FALSE;  // every accelerator holds Control
  guint base = 0;
  gdk_keymap_translate_keyboard_state(
      gdk_keymap_get_for_display(gdk_window_get_display(event->window)), event->hardware_keycode,
      GdkModifierType(0), event->group, &base, nullptr, nullptr, nullptr);
  guint shifted = gdk_keyval_to_lower(event->keyval);
  // The unshifted key with Shift among the modifiers ("cmd+shift+1"), or the symbol Shift
  // makes without it ("cmd+?").
  const std::pair<guint, guint> tries[] = {
      {gdk_keyval_to_lower(base), mods}, {shifted, mods & ~GDK_SHIFT_MASK}, {shifted, mods}};
  for (const auto& key : tries) {
    auto it = m->keys.find(key);
    if (it == m->keys.end()) continue;
    if (it->second->disabled) return FALSE;
    perform(*it->second, GTK_WINDOW(widget));
    return TRUE;
  }
  return FALSE;
}

void show_check(const ItemWidgets& w, const MenuItemSpec& item) {
  gtk_widget_set_opacity(w.check, item.checked ? 1 : 0);
}

GtkWidget* item_image(const std::string& image, GtkWidget* item) {
  if (image.starts_with("sf:")) {
    std::string name = symbol_icon_name(std::string_view(image).substr(3), true);
    return name.empty() ? nullptr : gtk_image_new_from_icon_name(name.c_str(), GTK_ICON_SIZE_MENU);
  }
  GRef<GdkPixbuf> pixbuf;
  if (image.starts_with("emoji:")) {
    GdkRGBA fg;
    GtkStyleContext* style = gtk_widget_get_style_context(item);
    gtk_style_context_get_color(style, gtk_style_context_get_state(style), &fg);
    pixbuf = text_pixbuf(std::string_view(image).substr(6), kImageSize,
                         {fg.red, fg.green, fg.blue, fg.alpha});
  } else {
    pixbuf = file_pixbuf(image, kImageSize);
  }
  return pixbuf ? gtk_image_new_from_pixbuf(pixbuf.get()) : nullptr;
}

GtkWidget* lazy_menu(const std::vector<MenuItemSpec>& items, GtkWindow* window);

GtkWidget* item_widget(const MenuItemSpec& spec, WindowMenus& m, bool image_column) {
  if (spec.separator) return gtk_separator_menu_item_new();
  ItemWidgets w{gtk_menu_item_new(), gtk_label_new("\u2713"), nullptr};
  GtkWidget* box = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 6);
  gtk_box_pack_start(GTK_BOX(box), w.check, FALSE, FALSE, 0);
  GtkWidget* image = item_image(spec.image, w.item);
  if (!image && image_column) {  // labels stay in line with those of items with images
    image = gtk_image_new();
    gtk_widget_set_size_request(image, kImageSize, kImageSize);
  }
  if (image) gtk_box_pack_start(GTK_BOX(box), image, FALSE, FALSE, 0);
  w.label = gtk_accel_label_new(valid_utf8(spec.label).c_str());
  gtk_label_set_xalign(GTK_LABEL(w.label), 0);
  gtk_widget_set_hexpand(w.label, TRUE);
  gtk_box_pack_start(GTK_BOX(box), w.label, TRUE, TRUE, 0);
  gtk_container_add(GTK_CONTAINER(w.item), box);
  show_check(w, spec);
  gtk_widget_set_sensitive(w.item, !spec.disabled);
  Accel accel = desktop_accel(spec.accelerator);
  if (guint keyval = accel_keyval(accel.key)) {
    gtk_accel_label_set_accel(GTK_ACCEL_LABEL(w.label), keyval,
                              GdkModifierType(accel_modifiers(accel)));
  }
  if (!spec.submenu.empty()) {
    gtk_menu_item_set_submenu(GTK_MENU_ITEM(w.item), lazy_menu(spec.submenu, m.window));
  } else {
    g_object_set_data(G_OBJECT(w.item), kSpecKey, const_cast<MenuItemSpec*>(&spec));
    g_signal_connect(w.item, "activate", G_CALLBACK(on_activate), m.window);
  }
  if (spec.role.empty()) m.items[&spec] = w;
  gtk_widget_show_all(w.item);
  return w.item;
}

// A menu gets its items when it first opens, so that a bar of thousands of items costs
// nothing until then.
void fill_menu(GtkWidget* menu, gpointer window) {
  auto* items =
      static_cast<const std::vector<MenuItemSpec>*>(g_object_steal_data(G_OBJECT(menu), kItemsKey));
  WindowMenus* m = menus_of(GTK_WINDOW(window));
  if (!items || !m) return;
  bool images = std::any_of(items->begin(), items->end(),
                            [](const MenuItemSpec& i) { return !i.image.empty(); });
  // Prepending from the end keeps each insertion at the head of the menu's list.
  for (auto it = items->rbegin(); it != items->rend(); ++it)
    gtk_menu_shell_prepend(GTK_MENU_SHELL(menu), item_widget(*it, *m, images));
}

GtkWidget* lazy_menu(const std::vector<MenuItemSpec>& items, GtkWindow* window) {
  GtkWidget* menu = gtk_menu_new();
  g_object_set_data(G_OBJECT(menu), kItemsKey, const_cast<std::vector<MenuItemSpec>*>(&items));
  g_signal_connect(menu, "show", G_CALLBACK(fill_menu), window);
  return menu;
}

GtkWidget* bar_widget(const std::vector<MenuSpec>& layout, GtkWindow* window) {
  GtkWidget* bar = gtk_menu_bar_new();
  for (const MenuSpec& menu : layout) {
    GtkWidget* top = gtk_menu_item_new_with_label(valid_utf8(menu.title).c_str());
    gtk_menu_item_set_submenu(GTK_MENU_ITEM(top), lazy_menu(menu.items, window));
    gtk_menu_shell_append(GTK_MENU_SHELL(bar), top);
  }
  return bar;
}

// Builds the window's bar again when the bar it shows has changed.
void refresh(GtkWindow* window) {
  WindowMenus* m = menus_of(window);
  const Bar& bar = menu_state().bar_for(winid_for_window(window));
  if (!m || m->generation == bar.generation) return;
  m->generation = bar.generation;
  m->items.clear();
  m->keys.clear();
  for (const AccelBinding& b : bar_accelerators(bar.layout)) {
    if (guint keyval = accel_keyval(b.accel.key)) {
      m->keys.emplace(std::make_pair(keyval, accel_modifiers(b.accel)), b.item);
    }
  }
  kelo_set_window_top(window, bar_widget(bar.layout, window));
}

void refresh_all() {
  for (GtkWindow* window : std::vector<GtkWindow*>(g_attached))
    refresh(window);
}

}  // namespace

MenuState& menu_state() {
  // Never destroyed: the process ends without static destructors.
  static MenuState* state = [] {
    auto* s = new MenuState;
    s->options = BarOptions{g_app_name, g_debug, !help_book().empty()};
    return s;
  }();
  return *state;
}

void kelo_attach_menu_bar(GtkWindow* window) {
  auto* m = new WindowMenus;
  m->window = window;
  g_object_set_data_full(G_OBJECT(window), kMenusKey, m,
                         [](gpointer p) { delete static_cast<WindowMenus*>(p); });
  g_attached.push_back(window);
  g_object_weak_ref(
      G_OBJECT(window),
      [](gpointer, GObject* gone) { std::erase(g_attached, reinterpret_cast<GtkWindow*>(gone)); },
      nullptr);
  g_signal_connect(window, "key-press-event", G_CALLBACK(on_key), nullptr);
  refresh(window);
}

void forget_window_menus(const std::string& id) {
  if (menu_state().drop_window_menus(id)) refresh_all();
}

void do_menu_bar(webview_t, std::unique_ptr<MenuBarReq> req) {
  MenuState& state = menu_state();
  if (req->reset) {
    if (!state.drop_window_menus(req->win)) return;
  } else if (req->win.empty()) {
    state.apply_menus(std::move(req->menus));
  } else {
    state.set_window_menus(req->win, std::move(req->menus));
  }
  refresh_all();
}

void do_menu_update(webview_t, std::unique_ptr<MenuUpdReq> req) {
  std::vector<const MenuItemSpec*> changed = menu_state().update(*req);
  for (GtkWindow* window : g_attached) {
    WindowMenus* m = menus_of(window);
    for (const MenuItemSpec* item : changed) {
      auto it = m->items.find(item);
      if (it == m->items.end()) continue;
      gtk_label_set_text(GTK_LABEL(it->second.label), valid_utf8(item->label).c_str());
      show_check(it->second, *item);
      gtk_widget_set_sensitive(it->second.item, !item->disabled);
    }
  }
  tray_items_changed(changed);
}

void run_editing_command(WebKitWebView* view, std::string_view role) {
  static const std::pair<std::string_view, const char*> kCommands[] = {
      {"undo", WEBKIT_EDITING_COMMAND_UNDO},   {"redo", WEBKIT_EDITING_COMMAND_REDO},
      {"cut", WEBKIT_EDITING_COMMAND_CUT},     {"copy", WEBKIT_EDITING_COMMAND_COPY},
      {"paste", WEBKIT_EDITING_COMMAND_PASTE}, {"selectAll", WEBKIT_EDITING_COMMAND_SELECT_ALL},
  };
  if (!view) return;
  for (const auto& [name, command] : kCommands) {
    if (name == role) webkit_web_view_execute_editing_command(view, command);
  }
}

void refresh_menu_bar() {
  g_menu_stale = false;
}

std::optional<std::string> menu_answer(std::string_view key) {
  if (key.starts_with("item:")) return menu_state().item_json(key.substr(5), false);
  if (key.starts_with("item@")) return menu_state().item_json(key.substr(5), true);
  if (key == "traypos") return tray_pos_json();
  if (key == "debug:tray") return tray_debug();
  return std::nullopt;
}
