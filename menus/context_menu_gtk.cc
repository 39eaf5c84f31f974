#include "menus/context_menu_gtk.h"

#include <gio/gio.h>
#include <webkit2/webkit2.h>

#include <string>
#include <vector>

#include "menus/menu_bar.h"
#include "menus/menu_bar_gtk.h"
#include "menus/menu_images_gtk.h"
#include "menus/menu_state.h"
#include "platform/gobj.h"
#include "wire/link.h"

namespace {

// What an item of the menu does when it is chosen.
struct CtxChoice {
  std::string id;
  std::string role;  // a stock role runs in the web view instead
  GRef<WebKitWebView> view;
};

void on_choice(GSimpleAction*, GVariant*, gpointer data) {
  const auto* c = static_cast<const CtxChoice*>(data);
  if (c->role.empty()) {
    sock_write_line("CTX " + c->id);
  } else {
    run_editing_command(c->view.get(), c->role);
  }
}

// An action that reports the item; checked items carry a state, which makes them check items.
// The engine keeps the actions of a menu by name, so every item has one of its own.
WebKitContextMenuItem* action_item(const MenuItemSpec& spec, WebKitWebView* view, int n) {
  std::string name = "kelo-ctx-" + std::to_string(n);
  GSimpleAction* action = spec.checked ? g_simple_action_new_stateful(name.c_str(), nullptr,
                                                                      g_variant_new_boolean(TRUE))
                                       : g_simple_action_new(name.c_str(), nullptr);
  g_simple_action_set_enabled(action, !spec.disabled);
  g_signal_connect_data(
      action, "activate", G_CALLBACK(on_choice),
      new CtxChoice{spec.id, spec.role, GRef<WebKitWebView>::retain(view)},
      [](gpointer data, GClosure*) { delete static_cast<CtxChoice*>(data); }, GConnectFlags(0));
  WebKitContextMenuItem* item = webkit_context_menu_item_new_from_gaction(
      G_ACTION(action), valid_utf8(spec.label).c_str(), nullptr);
  g_object_unref(action);
  return item;
}

void fill(WebKitContextMenu* menu, const std::vector<MenuItemSpec>& items, WebKitWebView* view,
          int& n) {
  for (const MenuItemSpec& spec : items) {
    WebKitContextMenuItem* item;
    if (spec.separator) {
      item = webkit_context_menu_item_new_separator();
    } else if (!spec.submenu.empty()) {
      WebKitContextMenu* sub = webkit_context_menu_new();
      fill(sub, spec.submenu, view, n);
      item = webkit_context_menu_item_new_with_submenu(valid_utf8(spec.label).c_str(), sub);
      g_object_unref(sub);
    } else {
      item = action_item(spec, view, n++);
    }
    webkit_context_menu_append(menu, item);
  }
}

gboolean on_context_menu(WebKitWebView* view, WebKitContextMenu* menu, GdkEvent*,
                         WebKitHitTestResult*, gpointer) {
  const MenuState& state = menu_state();
  if (state.ctx_active()) {
    webkit_context_menu_remove_all(menu);
    int n = 0;
    fill(menu, expand_roles(state.ctx_items(), true), view, n);
    return webkit_context_menu_get_n_items(menu) == 0;  // an empty menu is not shown
  }
  return state.ctx_suppressed();
}

}  // namespace

void kelo_install_ctx_hook(WebKitWebView* view) {
  g_signal_connect(view, "context-menu", G_CALLBACK(on_context_menu), nullptr);
}

void do_ctx(webview_t, std::unique_ptr<CtxReq> req) {
  menu_state().set_ctx(std::move(req->items), req->active);
}

void do_ctx_suppress(webview_t, std::unique_ptr<bool> on) {
  menu_state().set_ctx_suppressed(*on);
}

bool ctx_suppressed() {
  return menu_state().ctx_suppressed();
}
