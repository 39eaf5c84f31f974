#include "services/dock_gtk.h"

#include <gtk/gtk.h>
#include <pango/pangocairo.h>
#include <sys/stat.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <vector>

#include "launcher/app_state.h"
#include "launcher/webview.h"
#include "platform/gobj.h"
#include "platform/main_loop.h"
#include "services/dock.h"
#include "services/launcher_entry_dbus.h"
#include "windows/registry.h"

namespace {

constexpr int kTileSize = 128;                     // pixels of the drawn tile
constexpr int kKeptSide = 256;                     // larger icons are kept scaled down to this
constexpr int64_t kMaxIconPixels = 4096LL * 4096;  // larger images are refused
constexpr unsigned kInformationalMs = 3000;        // an informational request lasts this long

struct Rgb {
  double r, g, b;
};
constexpr Rgb kAccent = {0x35 / 255.0, 0x84 / 255.0, 0xe4 / 255.0};
constexpr Rgb kBadgeRed = {0xe0 / 255.0, 0x1b / 255.0, 0x24 / 255.0};

struct Icon {
  GRef<GdkPixbuf> image;  // as kept
  int width = 0;          // of the file's image
  int height = 0;
};

struct DockState {
  std::string badge;
  double progress = -1;
  std::optional<Icon> custom;
  std::optional<Icon> fallback;  // from KELOJS_ICON
  Attention attention;
  GRef<GdkPixbuf> shown;  // what every app window shows; null: no icon of the app's own
  bool redraw_queued = false;
};
DockState g_dock;

std::vector<GtkWindow*> app_windows() {
  std::vector<GtkWindow*> all;
  if (GtkWindow* main = webview_window(g_w)) all.push_back(main);
  for (auto& [id, e] : g_windows) {
    if (e.window) all.push_back(e.window.get());
  }
  return all;
}

// A regular file whose image is not too large for memory; nothing otherwise.
std::optional<Icon> load_icon(const std::string& path) {
  struct stat st;
  if (path.empty() || stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
  int width = 0, height = 0;
  if (!gdk_pixbuf_get_file_info(path.c_str(), &width, &height) || width <= 0 || height <= 0) {
    return std::nullopt;
  }
  if (int64_t(width) * height > kMaxIconPixels) {
    std::fprintf(stderr, "kelojs: icon %s is too large (%dx%d)\n", path.c_str(), width, height);
    return std::nullopt;
  }
  int kept_w, kept_h;
  icon_keep_size(width, height, kKeptSide, kept_w, kept_h);
  GdkPixbuf* image =
      gdk_pixbuf_new_from_file_at_scale(path.c_str(), kept_w, kept_h, FALSE, nullptr);
  if (!image) return std::nullopt;
  return Icon{GRef<GdkPixbuf>::adopt(image), width, height};
}

// The desktop's icon for the app when it has no icon of its own.
GdkPixbuf* theme_icon() {
  static GRef<GdkPixbuf> icon = [] {
    // An icon installed under the app's identifier, else the generic one.
    const char* names[] = {g_bundle_id.c_str(), "application-x-executable", nullptr};
    GtkIconInfo* info = gtk_icon_theme_choose_icon(gtk_icon_theme_get_default(), names, kTileSize,
                                                   GTK_ICON_LOOKUP_FORCE_SIZE);
    if (!info) return GRef<GdkPixbuf>();
    auto image = GRef<GdkPixbuf>::adopt(gtk_icon_info_load_icon(info, nullptr));
    g_object_unref(info);
    return image;
  }();
  return icon.get();
}

void rounded_box(cairo_t* cr, const TileBox& b) {
  double r = std::min(b.radius, std::min(b.width, b.height) / 2);
  cairo_new_sub_path(cr);
  cairo_arc(cr, b.x + b.width - r, b.y + r, r, -M_PI / 2, 0);
  cairo_arc(cr, b.x + b.width - r, b.y + b.height - r, r, 0, M_PI / 2);
  cairo_arc(cr, b.x + r, b.y + b.height - r, r, M_PI / 2, M_PI);
  cairo_arc(cr, b.x + r, b.y + r, r, M_PI, 3 * M_PI / 2);
  cairo_close_path(cr);
}

void draw_image(cairo_t* cr, GdkPixbuf* image) {
  if (!image) return;
  cairo_save(cr);
  cairo_scale(cr, double(kTileSize) / gdk_pixbuf_get_width(image),
              double(kTileSize) / gdk_pixbuf_get_height(image));
  gdk_cairo_set_source_pixbuf(cr, image, 0, 0);
  cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_GOOD);
  cairo_paint(cr);
  cairo_restore(cr);
}

void draw_progress(cairo_t* cr, const ProgressBar& bar) {
  rounded_box(cr, bar.track);
  cairo_set_source_rgba(cr, 0, 0, 0, 0.55);
  cairo_fill_preserve(cr);
  cairo_set_source_rgb(cr, 1, 1, 1);
  cairo_set_line_width(cr, 1.5);
  cairo_stroke(cr);
  if (bar.fill) {
    rounded_box(cr, *bar.fill);
    cairo_set_source_rgb(cr, kAccent.r, kAccent.g, kAccent.b);
    cairo_fill(cr);
  }
}

void draw_badge(cairo_t* cr, const std::string& text) {
  PangoLayout* layout = pango_cairo_create_layout(cr);
  PangoFontDescription* font = pango_font_description_from_string("Sans Bold");
  pango_font_description_set_absolute_size(font, badge_font_size(kTileSize) * PANGO_SCALE);
  pango_layout_set_font_description(layout, font);
  pango_font_description_free(font);
  pango_layout_set_single_paragraph_mode(layout, TRUE);
  pango_layout_set_ellipsize(layout, PANGO_ELLIPSIZE_END);
  pango_layout_set_width(layout, int(badge_text_room(kTileSize, kTileSize) * PANGO_SCALE));
  GCharPtr valid(g_utf8_make_valid(text.c_str(), -1));
  pango_layout_set_text(layout, valid.get(), -1);
  PangoRectangle logical;
  pango_layout_get_pixel_extents(layout, nullptr, &logical);
  TileBox box = badge_box(kTileSize, kTileSize, logical.width);
  rounded_box(cr, box);
  cairo_set_source_rgb(cr, kBadgeRed.r, kBadgeRed.g, kBadgeRed.b);
  cairo_fill(cr);
  cairo_set_source_rgb(cr, 1, 1, 1);
  cairo_move_to(cr, box.x + (box.width - logical.width) / 2 - logical.x,
                box.y + (box.height - logical.height) / 2 - logical.y);
  pango_cairo_show_layout(cr, layout);
  g_object_unref(layout);
}

GRef<GdkPixbuf> draw_tile() {
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, kTileSize, kTileSize);
  cairo_t* cr = cairo_create(surface);
  draw_image(cr, g_dock.custom ? g_dock.custom->image.get() : theme_icon());
  if (auto bar = progress_bar(kTileSize, kTileSize, g_dock.progress)) draw_progress(cr, *bar);
  if (!g_dock.badge.empty()) draw_badge(cr, g_dock.badge);
  cairo_destroy(cr);
  auto tile =
      GRef<GdkPixbuf>::adopt(gdk_pixbuf_get_from_surface(surface, 0, 0, kTileSize, kTileSize));
  cairo_surface_destroy(surface);
  return tile;
}

// Every app window shows the tile while a bar or a badge is drawn, else the custom icon as it
// is, else the toolkit's own choice.
void redraw_now() {
  g_dock.redraw_queued = false;
  if (g_dock.progress >= 0 || !g_dock.badge.empty()) {
    g_dock.shown = draw_tile();
  } else {
    g_dock.shown = g_dock.custom ? g_dock.custom->image : GRef<GdkPixbuf>();
  }
  for (GtkWindow* window : app_windows())
    gtk_window_set_icon(window, g_dock.shown.get());
}

// Redraws once the lines queued now are handled: a stream of PROGRESS lines costs one drawing.
void dock_tile_refresh() {
  if (g_dock.redraw_queued) return;
  g_dock.redraw_queued = true;
  g_idle_add(
      [](gpointer) -> gboolean {
        redraw_now();
        return G_SOURCE_REMOVE;
      },
      nullptr);
}

void publish_entry() {
  launcher_entry_publish({badge_count(g_dock.badge), g_dock.progress, g_dock.attention.urgent});
}

void set_urgency(bool urgent) {
  for (GtkWindow* window : app_windows())
    gtk_window_set_urgency_hint(window, urgent);
  publish_entry();
}

void on_active_changed(GtkWindow* window, GParamSpec*, gpointer) {
  if (gtk_window_is_active(window) && g_dock.attention.focused()) set_urgency(false);
}

bool app_focused() {
  for (GtkWindow* window : app_windows()) {
    if (gtk_window_is_active(window)) return true;
  }
  return false;
}

}  // namespace

void do_badge(webview_t, std::unique_ptr<std::string> text) {
  g_dock.badge = std::move(*text);
  dock_tile_refresh();
  publish_entry();
}

void do_progress(webview_t, std::unique_ptr<double> progress) {
  g_dock.progress = std::isnan(*progress) ? -1 : *progress;
  dock_tile_refresh();
  publish_entry();
}

void do_attention(webview_t, std::unique_ptr<int> level) {
  // As with a focused app on other desktops, a request while the app is in front does nothing.
  if (app_focused()) return;
  bool critical = *level != 0;
  unsigned serial = g_dock.attention.request(critical);
  set_urgency(true);
  if (!critical) {
    kelo_run_after(kInformationalMs, [serial] {
      if (g_dock.attention.expire(serial)) set_urgency(false);
    });
  }
}

void do_appicon(webview_t, std::unique_ptr<std::string> path) {
  if (path->empty()) {
    g_dock.custom = g_dock.fallback;
  } else if (auto icon = load_icon(*path)) {
    g_dock.custom = std::move(icon);
  } else {
    return;
  }
  dock_tile_refresh();
}

void apply_dev_icon(GtkWindow* main_window) {
  if (!g_settings.icon.empty()) {
    if (auto icon = load_icon(g_settings.icon)) {
      g_dock.fallback = icon;
      if (!g_dock.custom) g_dock.custom = std::move(icon);
      redraw_now();
    }
  }
  if (main_window) dock_adopt_window(main_window);
}

void dock_adopt_window(GtkWindow* window) {
  gtk_window_set_icon(window, g_dock.shown.get());
  gtk_window_set_urgency_hint(window, g_dock.attention.urgent);
  g_signal_connect(window, "notify::is-active", G_CALLBACK(on_active_changed), nullptr);
}

std::string dock_icon_debug_json() {
  IconFacts facts;
  if (g_dock.custom) {
    facts.custom = true;
    facts.width = g_dock.custom->width;
    facts.height = g_dock.custom->height;
  }
  facts.has_default = g_dock.fallback.has_value();
  const char* env = std::getenv("KELOJS_ICON");
  facts.env = env ? env : "";
  return icon_debug_json(facts);
}
