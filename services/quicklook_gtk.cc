// QUICKLOOK: GNOME's previewer when the desktop has one, else a preview window of the launcher:
// a web view of one file at a time (images, text, PDF, audio, video), with previous and next in
// its title bar and on the arrow keys; Escape closes it, and so does QUICKLOOK alone.
#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include "platform/gobj.h"
#include "services/capture_gtk.h"
#include "services/previewer_dbus.h"
#include "services/window_handle_x11.h"

namespace {

PreviewList g_list;
std::string g_parent;       // the main window's handle, for the previewer
unsigned g_generation = 0;  // every QUICKLOOK starts a new one; late answers of older ones drop
bool g_in_previewer = false;

struct PreviewWindow {
  GtkWindow* window = nullptr;
  GtkHeaderBar* bar = nullptr;
  GtkWidget* previous = nullptr;
  GtkWidget* next = nullptr;
  WebKitWebView* view = nullptr;
};
PreviewWindow g_win;  // window is null while closed

std::string file_uri(const std::string& path) {
  auto file = GRef<GFile>::adopt(g_file_new_for_path(path.c_str()));
  return GCharPtr(g_file_get_uri(file.get())).get();
}

// What the engine cannot show: the file's name, type and size.
void show_summary(const std::string& path) {
  auto file = GRef<GFile>::adopt(g_file_new_for_path(path.c_str()));
  auto info = GRef<GFileInfo>::adopt(g_file_query_info(
      file.get(), G_FILE_ATTRIBUTE_STANDARD_CONTENT_TYPE "," G_FILE_ATTRIBUTE_STANDARD_SIZE,
      G_FILE_QUERY_INFO_NONE, nullptr, nullptr));
  GCharPtr name(g_file_get_basename(file.get()));
  GCharPtr type(info && g_file_info_get_content_type(info.get())
                    ? g_content_type_get_description(g_file_info_get_content_type(info.get()))
                    : g_strdup("missing file"));
  GCharPtr size(info ? g_format_size(g_file_info_get_size(info.get())) : g_strdup(""));
  GCharPtr html(g_markup_printf_escaped(
      "<!doctype html><meta charset=utf-8><body style=\"font:16px sans-serif;text-align:center;"
      "padding-top:20vh\"><h1>%s</h1><p>%s %s</p>",
      name.get(), type.get(), size.get()));
  webkit_web_view_load_html(g_win.view, html.get(), nullptr);
}

void show_current() {
  const std::string& path = g_list.current();
  GCharPtr name(g_path_get_basename(path.c_str()));
  gtk_window_set_title(g_win.window, name.get());
  gtk_header_bar_set_subtitle(g_win.bar, g_list.position().c_str());
  gtk_widget_set_sensitive(g_win.previous, g_list.has_previous());
  gtk_widget_set_sensitive(g_win.next, g_list.has_next());
  if (g_file_test(path.c_str(), G_FILE_TEST_IS_REGULAR)) {
    webkit_web_view_load_uri(g_win.view, file_uri(path).c_str());
  } else {
    show_summary(path);
  }
}

void close_window() {
  if (g_win.window) gtk_widget_destroy(GTK_WIDGET(g_win.window));
}

void move(int step) {
  if (g_list.empty() || !(step < 0 ? g_list.previous() : g_list.next())) return;
  if (g_in_previewer) {
    previewer_show(file_uri(g_list.current()), g_parent, [](bool) {});
  } else if (g_win.window) {
    show_current();
  }
}

gboolean on_policy(WebKitWebView*, WebKitPolicyDecision* decision, WebKitPolicyDecisionType type,
                   gpointer) {
  if (type == WEBKIT_POLICY_DECISION_TYPE_RESPONSE) {
    auto* response = WEBKIT_RESPONSE_POLICY_DECISION(decision);
    if (webkit_response_policy_decision_is_mime_type_supported(response)) return FALSE;
    webkit_policy_decision_ignore(decision);
    show_summary(g_list.current());
    return TRUE;
  }
  // The preview shows the files it was given; links inside them lead nowhere.
  auto* action = WEBKIT_NAVIGATION_POLICY_DECISION(decision);
  WebKitNavigationAction* nav = webkit_navigation_policy_decision_get_navigation_action(action);
  if (type == WEBKIT_POLICY_DECISION_TYPE_NEW_WINDOW_ACTION ||
      webkit_navigation_action_is_user_gesture(nav)) {
    webkit_policy_decision_ignore(decision);
    return TRUE;
  }
  return FALSE;
}

gboolean on_key(GtkWidget*, GdkEventKey* e, gpointer) {
  switch (e->keyval) {
    case GDK_KEY_Left:
      move(-1);
      return TRUE;
    case GDK_KEY_Right:
      move(1);
      return TRUE;
    case GDK_KEY_Escape:
      close_window();
      return TRUE;
    default:
      return FALSE;
  }
}

GtkWidget* arrow_button(const char* icon, int step) {
  GtkWidget* button = gtk_button_new_from_icon_name(icon, GTK_ICON_SIZE_BUTTON);
  g_signal_connect(button, "clicked",
                   G_CALLBACK(+[](GtkButton*, gpointer data) { move(GPOINTER_TO_INT(data)); }),
                   GINT_TO_POINTER(step));
  return button;
}

void open_window() {
  if (g_win.window) return;
  GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  g_win.window = GTK_WINDOW(window);
  gtk_window_set_default_size(g_win.window, 800, 600);
  g_win.bar = GTK_HEADER_BAR(gtk_header_bar_new());
  gtk_header_bar_set_show_close_button(g_win.bar, TRUE);
  g_win.previous = arrow_button("go-previous-symbolic", -1);
  g_win.next = arrow_button("go-next-symbolic", 1);
  gtk_header_bar_pack_start(g_win.bar, g_win.previous);
  gtk_header_bar_pack_start(g_win.bar, g_win.next);
  gtk_window_set_titlebar(g_win.window, GTK_WIDGET(g_win.bar));
  // A context of its own: no page bridge, downloads or app schemes in the preview.
  auto context = GRef<WebKitWebContext>::adopt(webkit_web_context_new_ephemeral());
  g_win.view = WEBKIT_WEB_VIEW(webkit_web_view_new_with_context(context.get()));
  g_signal_connect(g_win.view, "decide-policy", G_CALLBACK(on_policy), nullptr);
  gtk_container_add(GTK_CONTAINER(window), GTK_WIDGET(g_win.view));
  g_signal_connect(window, "key-press-event", G_CALLBACK(on_key), nullptr);
  g_signal_connect(window, "destroy", G_CALLBACK(+[](GtkWidget*, gpointer) { g_win = {}; }),
                   nullptr);
  gtk_widget_show_all(window);
}

}  // namespace

void do_quicklook(webview_t w, std::unique_ptr<QLReq> req) {
  unsigned generation = ++g_generation;
  if (req->paths.empty()) {
    if (g_in_previewer) previewer_close();
    g_in_previewer = false;
    g_list.assign({});
    close_window();
    return;
  }
  g_list.assign(std::move(req->paths));
  g_parent = main_window_handle(w);
  previewer_on_move(move);
  previewer_show(file_uri(g_list.current()), g_parent, [generation](bool shown) {
    if (generation != g_generation) {
      // A later QUICKLOOK took over; when that one closed the preview, this answer's
      // previewer goes too.
      if (shown && g_list.empty()) previewer_close();
      return;
    }
    g_in_previewer = shown;
    if (shown) return close_window();
    open_window();
    show_current();
    gtk_window_present(g_win.window);
  });
}
