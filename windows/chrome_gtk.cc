// Window chrome on X11. The window manager draws the title bar; hiding it keeps only the
// border (Motif decoration hints) and the launcher shows its own window buttons over the page.
// Square windows are borderless. Transparency needs the screen's RGBA visual, which every window
// gets when it is built; vibrancy, which has no blur here, is a translucent tint of the material's
// shade painted behind the page.
#include "windows/chrome_gtk.h"

#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include "launcher/webview.h"
#include "menus/menu_bar_gtk.h"
#include "windows/app_presence_gtk.h"
#include "windows/registry.h"
#include "windows/screens_gtk.h"

namespace {

constexpr char kStateKey[] = "kelo-chrome";
constexpr char kFirstMouseKey[] = "kelo-first-mouse";

// The launcher's own window buttons: their place without a requested position, size and step.
constexpr PointD kDefaultTraffic{8, 6};
constexpr int kButtonSize = 22;
constexpr double kButtonSpacing = 26;
constexpr const char* kButtonIcons[3] = {"window-close-symbolic", "window-minimize-symbolic",
                                         "window-maximize-symbolic"};

// A window's chrome state, the widgets of its own buttons and what it shows above its page.
struct WindowChrome {
  ChromeState state;
  GtkWidget* layer = nullptr;  // the buttons' layer, owned by the window's overlay
  GtkWidget* buttons[3] = {};
  GtkWidget* strip = nullptr;  // above the page, owned by the window's body
  GtkWidget* top = nullptr;    // in the strip: the menu bar
};

WindowChrome& chrome_of(GtkWindow* window) {
  auto* c = static_cast<WindowChrome*>(g_object_get_data(G_OBJECT(window), kStateKey));
  if (!c) {
    c = new WindowChrome;
    g_object_set_data_full(G_OBJECT(window), kStateKey, c,
                           [](gpointer p) { delete static_cast<WindowChrome*>(p); });
  }
  return *c;
}

// Decorations and the functions whose buttons the window manager shows.
void apply_frame(GtkWindow* window) {
  GdkWindow* gdk_window = gtk_widget_get_window(GTK_WIDGET(window));
  if (!gdk_window) return;
  const ChromeState& s = chrome_of(window).state;
  int decorations = GDK_DECOR_ALL;
  if (frame_kind(s) == FrameKind::Borderless) {
    decorations = 0;
  } else if (frame_kind(s) == FrameKind::BorderOnly) {
    decorations = GDK_DECOR_BORDER;
  }
  int functions = GDK_FUNC_MOVE | GDK_FUNC_RESIZE;
  if (s.shown[0]) functions |= GDK_FUNC_CLOSE;
  if (s.shown[1]) functions |= GDK_FUNC_MINIMIZE;
  if (s.shown[2]) functions |= GDK_FUNC_MAXIMIZE;
  gdk_window_set_decorations(gdk_window, GdkWMDecoration(decorations));
  gdk_window_set_functions(gdk_window, GdkWMFunction(functions));
}

bool is_fullscreen(GtkWindow* window) {
  GdkWindow* gdk_window = gtk_widget_get_window(GTK_WIDGET(window));
  return gdk_window && (gdk_window_get_state(gdk_window) & GDK_WINDOW_STATE_FULLSCREEN);
}

// The launcher's buttons show while the title bar is hidden, not in full screen, and only
// those asked for, at the requested position.
void update_layer(GtkWindow* window) {
  WindowChrome& c = chrome_of(window);
  if (!c.layer) return;
  const ChromeState& s = c.state;
  auto places = traffic_button_positions(s.traffic_pos.value_or(kDefaultTraffic), kButtonSpacing);
  for (int i = 0; i < 3; ++i) {
    gtk_fixed_move(GTK_FIXED(c.layer), c.buttons[i], static_cast<int>(places[i].x),
                   static_cast<int>(places[i].y));
    gtk_widget_set_visible(c.buttons[i], s.shown[i]);
  }
  gtk_widget_set_visible(c.layer, own_buttons_visible(s, is_fullscreen(window)));
}

// The window's whole size: resized when realized, else the size it will have.
void set_window_size(GtkWindow* window, int width, int height) {
  if (gtk_widget_get_realized(GTK_WIDGET(window))) {
    gtk_window_resize(window, width, height);
  } else {
    gtk_window_set_default_size(window, width, height);
  }
}

// The strip above the page shows its widget while the window has a standard title bar and is
// not a panel. Returns how much higher the window must be for the page to keep its size.
int show_top(GtkWindow* window) {
  WindowChrome& c = chrome_of(window);
  if (!c.strip) return 0;
  int before = kelo_page_top(window);
  bool wanted = c.top && frame_kind(c.state) == FrameKind::Standard && !is_panel(window);
  gtk_widget_set_visible(c.strip, wanted);
  return kelo_page_top(window) - before;
}

// Grows the window by dh, so that its page keeps its size.
void grow_window(GtkWindow* window, int dh) {
  if (dh == 0) return;
  int width = 0, height = 0;
  if (gtk_widget_get_realized(GTK_WIDGET(window))) {
    gtk_window_get_size(window, &width, &height);
  } else {
    gtk_window_get_default_size(window, &width, &height);
  }
  if (width > 0 && height > 0) set_window_size(window, width, height + dh);
}

// Runs a change of decorations so that the content keeps its size and the frame its top-left
// corner.
template <class Change>
void keeping_content(GtkWindow* window, Change change) {
  bool placed = gtk_widget_get_mapped(GTK_WIDGET(window));
  Rect frame = placed ? window_frame(window) : Rect{};
  int width = 0, height = 0;
  gtk_window_get_size(window, &width, &height);
  change();
  int dh = show_top(window);
  if (!placed) {
    grow_window(window, dh);
    return;
  }
  gtk_window_resize(window, width, height + dh);
  move_to_wire_point(window, static_cast<int>(frame.x), static_cast<int>(frame.y));
}

void set_draws_background(WebKitWebView* view, bool draws) {
  GdkRGBA colour = draws ? GdkRGBA{1, 1, 1, 1} : GdkRGBA{0, 0, 0, 0};
  webkit_web_view_set_background_color(view, &colour);
}

// Behind the page of a window that is not opaque: the vibrancy tint, else nothing at all.
gboolean on_draw(GtkWidget* widget, cairo_t* cr, gpointer) {
  const ChromeState& s = chrome_of(GTK_WINDOW(widget)).state;
  if (s.opaque) return FALSE;
  Tint t;
  if (!s.vibrancy.empty()) t = material_tint(material_for(s.vibrancy), theme_is_dark());
  cairo_save(cr);
  cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
  cairo_set_source_rgba(cr, t.r, t.g, t.b, t.a);
  cairo_paint(cr);
  cairo_restore(cr);
  return FALSE;
}

// Without first-mouse, a click on an inactive window only brings the window forward.
gboolean on_press(GtkWidget* view, GdkEventButton* event, gpointer) {
  GtkWidget* top = gtk_widget_get_toplevel(view);
  if (!GTK_IS_WINDOW(top) || gtk_window_is_active(GTK_WINDOW(top))) return FALSE;
  if (g_object_get_data(G_OBJECT(view), kFirstMouseKey)) return FALSE;
  gtk_window_present_with_time(GTK_WINDOW(top), event->time);
  return TRUE;
}

void on_button(GtkButton* button, gpointer data) {
  GtkWindow* window = GTK_WINDOW(data);
  int which = GPOINTER_TO_INT(g_object_get_data(G_OBJECT(button), "kelo-button"));
  if (which == 0) {
    gtk_window_close(window);
  } else if (which == 1) {
    gtk_window_iconify(window);
  } else if (gtk_window_is_maximized(window)) {
    gtk_window_unmaximize(window);
  } else {
    gtk_window_maximize(window);
  }
}

GtkWidget* build_layer(GtkWindow* window, WindowChrome& s) {
  s.layer = gtk_fixed_new();
  for (int i = 0; i < 3; ++i) {
    GtkWidget* b = gtk_button_new_from_icon_name(kButtonIcons[i], GTK_ICON_SIZE_MENU);
    gtk_widget_set_name(b, kChromeButtons[i]);
    gtk_widget_set_tooltip_text(b, nullptr);
    gtk_widget_set_size_request(b, kButtonSize, kButtonSize);
    gtk_widget_set_can_focus(b, FALSE);
    gtk_button_set_relief(GTK_BUTTON(b), GTK_RELIEF_NONE);
    GtkStyleContext* style = gtk_widget_get_style_context(b);
    gtk_style_context_add_class(style, "titlebutton");
    gtk_style_context_add_class(style, kChromeButtons[i]);
    g_object_set_data(G_OBJECT(b), "kelo-button", GINT_TO_POINTER(i));
    g_signal_connect(b, "clicked", G_CALLBACK(on_button), window);
    gtk_fixed_put(GTK_FIXED(s.layer), b, 0, 0);
    s.buttons[i] = b;
  }
  gtk_widget_set_halign(s.layer, GTK_ALIGN_FILL);
  gtk_widget_set_valign(s.layer, GTK_ALIGN_FILL);
  gtk_widget_set_no_show_all(s.layer, TRUE);
  return s.layer;
}

}  // namespace

void kelo_build_window_body(GtkWindow* window, WebKitWebView* view) {
  if (GdkVisual* rgba = gdk_screen_get_rgba_visual(gtk_widget_get_screen(GTK_WIDGET(window))))
    gtk_widget_set_visual(GTK_WIDGET(window), rgba);
  WindowChrome& s = chrome_of(window);
  GtkWidget* overlay = gtk_overlay_new();
  gtk_container_add(GTK_CONTAINER(overlay), GTK_WIDGET(view));
  gtk_overlay_add_overlay(GTK_OVERLAY(overlay), build_layer(window, s));
  gtk_overlay_set_overlay_pass_through(GTK_OVERLAY(overlay), s.layer, TRUE);
  GtkWidget* body = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
  s.strip = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
  gtk_widget_set_no_show_all(s.strip, TRUE);
  gtk_box_pack_start(GTK_BOX(body), s.strip, FALSE, FALSE, 0);
  gtk_box_pack_start(GTK_BOX(body), overlay, TRUE, TRUE, 0);
  gtk_container_add(GTK_CONTAINER(window), body);
  gtk_widget_show(body);
  gtk_widget_show(overlay);
  gtk_widget_show(GTK_WIDGET(view));
  kelo_attach_menu_bar(window);

  g_signal_connect(window, "draw", G_CALLBACK(on_draw), nullptr);
  g_signal_connect(view, "button-press-event", G_CALLBACK(on_press), nullptr);
  g_signal_connect_after(window, "realize", G_CALLBACK(+[](GtkWidget* widget, gpointer) {
                           if (!is_default_frame(chrome_of(GTK_WINDOW(widget)).state))
                             apply_frame(GTK_WINDOW(widget));
                         }),
                         nullptr);
  g_signal_connect_after(window, "window-state-event",
                         G_CALLBACK(+[](GtkWidget* widget, GdkEvent*, gpointer) {
                           update_layer(GTK_WINDOW(widget));
                           return FALSE;
                         }),
                         nullptr);
}

void kelo_set_window_top(GtkWindow* window, GtkWidget* top) {
  WindowChrome& c = chrome_of(window);
  if (!c.strip) return;
  int before = kelo_page_top(window);
  if (c.top) gtk_widget_destroy(c.top);
  c.top = top;
  if (top) {
    gtk_box_pack_start(GTK_BOX(c.strip), top, FALSE, FALSE, 0);
    gtk_widget_show_all(top);
  }
  show_top(window);
  grow_window(window, kelo_page_top(window) - before);
}

int kelo_page_top(GtkWindow* window) {
  WindowChrome& c = chrome_of(window);
  if (!c.strip || !gtk_widget_get_visible(c.strip)) return 0;
  int minimum = 0, natural = 0;
  gtk_widget_get_preferred_height(c.strip, &minimum, &natural);
  return natural;
}

void kelo_set_content_size(GtkWindow* window, int width, int height) {
  set_window_size(window, width, height + kelo_page_top(window));
}

void apply_chrome_fields(GtkWindow* window, WebKitWebView* view, const ChromeReq& req) {
  ChromeState& s = chrome_of(window).state;
  ChromeState next = chrome_after(s, req);
  if (!req[kTitlebar].empty() || !req[kSquare].empty()) {
    keeping_content(window, [&] {
      s = next;
      apply_frame(window);
    });
  } else {
    s = next;
    if (!req[kButtons].empty()) apply_frame(window);
  }
  if (!req[kTransparent].empty() || !req[kVibrancy].empty()) {
    gtk_widget_set_app_paintable(GTK_WIDGET(window), !s.opaque);
    set_draws_background(view, s.draws_background);
    gtk_widget_queue_draw(GTK_WIDGET(window));
  }
  if (!req[kSquare].empty()) {
    update_taskbar_presence(window);
    // Brought forward, as a window the user works with; a window not shown yet stays hidden.
    if (s.square && gtk_widget_get_visible(GTK_WIDGET(window))) gtk_window_present(window);
  }
  if (!req[kFirstMouse].empty()) {
    g_object_set_data(G_OBJECT(view), kFirstMouseKey,
                      GINT_TO_POINTER(req[kFirstMouse] == "1" ? 1 : 0));
  }
  update_layer(window);
}

void do_chrome(webview_t w, std::unique_ptr<ChromeReq> req) {
  GtkWindow* window = window_for_id(w, req->id);
  WebKitWebView* view = webview_for_id(w, req->id);
  if (window && view) apply_chrome_fields(window, view, *req);
}

ChromeFacts window_chrome_facts(GtkWindow* window, WebKitWebView* view) {
  bool first_mouse = view && g_object_get_data(G_OBJECT(view), kFirstMouseKey);
  return chrome_facts(chrome_of(window).state, first_mouse);
}

std::optional<Rect> own_close_button(GtkWindow* window) {
  const WindowChrome& c = chrome_of(window);
  GtkWidget* close = c.buttons[0];
  if (!close || !gtk_widget_is_drawable(close)) return std::nullopt;
  int x = 0, y = 0;
  if (!gtk_widget_translate_coordinates(close, GTK_WIDGET(window), 0, 0, &x, &y))
    return std::nullopt;
  GtkAllocation a;
  gtk_widget_get_allocation(close, &a);
  return Rect{double(x), double(y), double(a.width), double(a.height)};
}
