// SHARE: this desktop has no share sheet. A small menu at the point of the window offers to
// copy the items, to send the text and the URL by mail, and to open the files or the URL with
// an application the user picks. Nothing is reported back.
#include <gio/gio.h>
#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/gobj.h"
#include "services/desktop_services_gtk.h"
#include "windows/registry.h"

namespace {

struct Items {
  std::string text;
  std::string url;  // only a valid one
  std::vector<std::string> file_uris;

  // Every item as text, one a line.
  std::string lines() const {
    std::string out = text;
    auto add = [&out](const std::string& line) {
      if (line.empty()) return;
      if (!out.empty()) out += '\n';
      out += line;
    };
    add(url);
    for (const std::string& uri : file_uris) {
      GCharPtr path(g_filename_from_uri(uri.c_str(), nullptr, nullptr));
      add(path ? path.get() : uri);
    }
    return out;
  }
  std::vector<std::string> uris() const {
    std::vector<std::string> out = file_uris;
    if (!url.empty()) out.push_back(url);
    return out;
  }
};

enum Target : guint { kText, kUris };

void copy(const Items& items) {
  GtkTargetList* list = gtk_target_list_new(nullptr, 0);
  gtk_target_list_add_text_targets(list, kText);
  if (!items.uris().empty()) gtk_target_list_add_uri_targets(list, kUris);
  int count = 0;
  GtkTargetEntry* targets = gtk_target_table_new_from_list(list, &count);
  auto* held = new Items(items);
  bool owned = gtk_clipboard_set_with_data(
      gtk_clipboard_get(GDK_SELECTION_CLIPBOARD), targets, static_cast<guint>(count),
      [](GtkClipboard*, GtkSelectionData* selection, guint info, gpointer data) {
        const auto* items = static_cast<const Items*>(data);
        if (info == kText) {
          gtk_selection_data_set_text(selection, items->lines().c_str(), -1);
          return;
        }
        std::vector<std::string> uris = items->uris();
        std::vector<gchar*> list;
        for (std::string& uri : uris)
          list.push_back(uri.data());
        list.push_back(nullptr);
        gtk_selection_data_set_uris(selection, list.data());
      },
      [](GtkClipboard*, gpointer data) { delete static_cast<Items*>(data); }, held);
  if (!owned) delete held;
  gtk_target_table_free(targets, count);
  gtk_target_list_unref(list);
}

GList* uri_list(const std::vector<std::string>& uris) {
  GList* list = nullptr;
  for (auto it = uris.rbegin(); it != uris.rend(); ++it)
    list = g_list_prepend(list, const_cast<char*>(it->c_str()));
  return list;
}

GRef<GAppLaunchContext> launch_context() {
  return GRef<GAppLaunchContext>::adopt(
      G_APP_LAUNCH_CONTEXT(gdk_display_get_app_launch_context(gdk_display_get_default())));
}

void send_mail(const Items& items) {
  std::string uri = share_mailto(items.text, items.url);
  g_app_info_launch_default_for_uri_async(uri.c_str(), launch_context().get(), nullptr, nullptr,
                                          nullptr);
}

// The desktop's application chooser, for the files, or for the URL when there are none.
void open_with(GtkWindow* parent, const Items& items) {
  std::vector<std::string> uris = items.file_uris;
  GtkWidget* dialog;
  if (!uris.empty()) {
    auto file = GRef<GFile>::adopt(g_file_new_for_uri(uris[0].c_str()));
    dialog = gtk_app_chooser_dialog_new(parent, GTK_DIALOG_DESTROY_WITH_PARENT, file.get());
  } else {
    uris = {items.url};
    GCharPtr scheme(g_uri_parse_scheme(items.url.c_str()));
    std::string type = std::string("x-scheme-handler/") + (scheme ? scheme.get() : "");
    dialog = gtk_app_chooser_dialog_new_for_content_type(parent, GTK_DIALOG_DESTROY_WITH_PARENT,
                                                         type.c_str());
  }
  auto* held = new std::vector<std::string>(std::move(uris));
  g_signal_connect_data(
      dialog, "response", G_CALLBACK(+[](GtkDialog* dialog, int response, gpointer data) {
        const auto* uris = static_cast<const std::vector<std::string>*>(data);
        if (response == GTK_RESPONSE_OK) {
          auto app = GRef<GAppInfo>::adopt(gtk_app_chooser_get_app_info(GTK_APP_CHOOSER(dialog)));
          if (app) {
            GList* list = uri_list(*uris);
            g_app_info_launch_uris_async(app.get(), list, launch_context().get(), nullptr, nullptr,
                                         nullptr);
            g_list_free(list);
          }
        }
        gtk_widget_destroy(GTK_WIDGET(dialog));
      }),
      held, [](gpointer p, GClosure*) { delete static_cast<std::vector<std::string>*>(p); },
      GConnectFlags(0));
  gtk_widget_show(dialog);
}

void add_item(GtkWidget* menu, const char* label, std::function<void()> action) {
  GtkWidget* item = gtk_menu_item_new_with_label(label);
  g_signal_connect_data(
      item, "activate", G_CALLBACK(+[](GtkMenuItem*, gpointer data) {
        (*static_cast<std::function<void()>*>(data))();
      }),
      new std::function<void()>(std::move(action)),
      [](gpointer p, GClosure*) { delete static_cast<std::function<void()>*>(p); },
      GConnectFlags(0));
  gtk_menu_shell_append(GTK_MENU_SHELL(menu), item);
}

}  // namespace

void do_share(webview_t w, std::unique_ptr<ShareReq> req) {
  WebKitWebView* view = webview_for_id(w, req->win);
  if (!view) return;
  Items items;
  items.text = req->text;
  if (is_url_text(req->url)) items.url = req->url;
  for (const std::string& path : req->paths) {
    auto file = GRef<GFile>::adopt(g_file_new_for_path(path.c_str()));
    GCharPtr uri(g_file_get_uri(file.get()));
    items.file_uris.emplace_back(uri.get());
  }
  if (items.text.empty() && items.url.empty() && items.file_uris.empty()) return;

  GtkWidget* top = gtk_widget_get_toplevel(GTK_WIDGET(view));
  if (!GTK_IS_WINDOW(top) || !gtk_widget_get_mapped(top)) return;  // nowhere to show it
  GtkWindow* parent = GTK_WINDOW(top);
  GtkWidget* menu = gtk_menu_new();
  add_item(menu, "Copy", [items] { copy(items); });
  if (!items.text.empty() || !items.url.empty()) {
    add_item(menu, "Send by Email", [items] { send_mail(items); });
  }
  if (!items.uris().empty()) {
    add_item(menu, "Open With\u2026", [parent, items] { open_with(parent, items); });
  }
  gtk_menu_attach_to_widget(GTK_MENU(menu), GTK_WIDGET(view), nullptr);
  // The menu goes once it is closed, after the chosen item has run.
  g_signal_connect(menu, "deactivate", G_CALLBACK(+[](GtkMenuShell* shell, gpointer) {
                     g_idle_add(
                         [](gpointer m) -> gboolean {
                           gtk_widget_destroy(GTK_WIDGET(m));
                           return G_SOURCE_REMOVE;
                         },
                         shell);
                   }),
                   nullptr);
  int x = req->x, y = req->y;
  gtk_widget_translate_coordinates(GTK_WIDGET(view), top, req->x, req->y, &x, &y);
  GdkRectangle at{x, y, 1, 1};
  gtk_widget_show_all(menu);
  gtk_menu_popup_at_rect(GTK_MENU(menu), gtk_widget_get_window(top), &at, GDK_GRAVITY_NORTH_WEST,
                         GDK_GRAVITY_NORTH_WEST, nullptr);
}
