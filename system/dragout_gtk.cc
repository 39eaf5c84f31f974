// DRAGOUT: a drag of files out of a web view, started from the press the page has just seen.
// Other applications take the files as a URI list (and in the file managers' own form); the
// drag image stacks one picture per file, 4 points apart, the first on top.
#include "system/dragout_gtk.h"

#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <algorithm>
#include <vector>

#include "platform/gobj.h"
#include "windows/pointer_moves_gtk.h"
#include "windows/registry.h"

namespace {

constexpr char kFilesKey[] = "kelo-dragout-files";
constexpr char kHookedKey[] = "kelo-dragout-hooked";
constexpr int kFileIconSize = 32;
constexpr int kItemOffset = 4;
// Pictures beyond this many would only widen the stack.
constexpr size_t kMaxPictures = 16;

enum Info : guint { kUriList, kGnomeFiles };

struct DragFiles {
  std::vector<std::string> paths;
};

// The engine answers the page's own drags; the launcher's carry their files.
void on_drag_data_get(GtkWidget* view, GdkDragContext* context, GtkSelectionData* sel, guint info,
                      guint, gpointer) {
  auto* files = static_cast<DragFiles*>(g_object_get_data(G_OBJECT(context), kFilesKey));
  if (!files) return;
  std::string body =
      info == kUriList ? uri_list_body(files->paths) : gnome_copied_files_body(files->paths);
  gtk_selection_data_set(sel, gtk_selection_data_get_target(sel), 8,
                         reinterpret_cast<const guchar*>(body.data()),
                         static_cast<gint>(body.size()));
  g_signal_stop_emission_by_name(view, "drag-data-get");
}

GRef<GdkPixbuf> custom_icon(const std::string& path) {
  if (path.empty()) return {};
  GRef<GdkPixbuf> icon = GRef<GdkPixbuf>::adopt(gdk_pixbuf_new_from_file(path.c_str(), nullptr));
  if (!icon) return {};
  PixelSize size =
      drag_icon_size(gdk_pixbuf_get_width(icon.get()), gdk_pixbuf_get_height(icon.get()));
  if (size.width == gdk_pixbuf_get_width(icon.get()) &&
      size.height == gdk_pixbuf_get_height(icon.get())) {
    return icon;
  }
  return GRef<GdkPixbuf>::adopt(
      gdk_pixbuf_scale_simple(icon.get(), size.width, size.height, GDK_INTERP_BILINEAR));
}

// The file's icon in the icon theme, 32 x 32.
GRef<GdkPixbuf> file_icon(const std::string& path) {
  GRef<GFile> file = GRef<GFile>::adopt(g_file_new_for_path(path.c_str()));
  GRef<GFileInfo> info = GRef<GFileInfo>::adopt(g_file_query_info(
      file.get(), G_FILE_ATTRIBUTE_STANDARD_ICON, G_FILE_QUERY_INFO_NONE, nullptr, nullptr));
  GIcon* icon = info ? g_file_info_get_icon(info.get()) : nullptr;
  GtkIconTheme* theme = gtk_icon_theme_get_default();
  GRef<GdkPixbuf> pixbuf;
  if (icon) {
    GRef<GtkIconInfo> found = GRef<GtkIconInfo>::adopt(
        gtk_icon_theme_lookup_by_gicon(theme, icon, kFileIconSize, GTK_ICON_LOOKUP_FORCE_SIZE));
    if (found) pixbuf = GRef<GdkPixbuf>::adopt(gtk_icon_info_load_icon(found.get(), nullptr));
  }
  if (!pixbuf) {
    pixbuf = GRef<GdkPixbuf>::adopt(gtk_icon_theme_load_icon(theme, "text-x-generic", kFileIconSize,
                                                             GTK_ICON_LOOKUP_FORCE_SIZE, nullptr));
  }
  return pixbuf;
}

// The drag image: the first file's picture (the custom icon, else its own icon) on top, each
// next one 4 points further right and down. Its hot spot is the first picture's centre.
void set_drag_image(GdkDragContext* context, const std::vector<std::string>& paths,
                    const std::string& icon_path) {
  std::vector<GRef<GdkPixbuf>> pictures;
  for (size_t i = 0; i < paths.size() && i < kMaxPictures; ++i) {
    GRef<GdkPixbuf> p = i == 0 ? custom_icon(icon_path) : GRef<GdkPixbuf>();
    if (!p) p = file_icon(paths[i]);
    if (p) pictures.push_back(std::move(p));
  }
  if (pictures.empty()) return;
  int width = 0, height = 0;
  for (size_t i = 0; i < pictures.size(); ++i) {
    int shift = kItemOffset * static_cast<int>(i);
    width = std::max(width, shift + gdk_pixbuf_get_width(pictures[i].get()));
    height = std::max(height, shift + gdk_pixbuf_get_height(pictures[i].get()));
  }
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
  cairo_t* cr = cairo_create(surface);
  for (size_t i = pictures.size(); i-- > 0;) {
    double shift = kItemOffset * static_cast<double>(i);
    gdk_cairo_set_source_pixbuf(cr, pictures[i].get(), shift, shift);
    cairo_paint(cr);
  }
  cairo_destroy(cr);
  cairo_surface_set_device_offset(surface, -gdk_pixbuf_get_width(pictures[0].get()) / 2.0,
                                  -gdk_pixbuf_get_height(pictures[0].get()) / 2.0);
  gtk_drag_set_icon_surface(context, surface);
  cairo_surface_destroy(surface);
}

}  // namespace

void do_dragout(webview_t w, std::unique_ptr<DragOutReq> req) {
  auto* view = reinterpret_cast<GtkWidget*>(webview_for_id(w, req->win));
  std::vector<std::string> paths = existing_files(req->paths);
  if (!view || paths.empty()) return;
  GdkEvent* press = kelo_live_press(window_for_id(w, req->win));
  if (!press) return;
  if (!g_object_get_data(G_OBJECT(view), kHookedKey)) {
    g_signal_connect(view, "drag-data-get", G_CALLBACK(on_drag_data_get), nullptr);
    g_object_set_data(G_OBJECT(view), kHookedKey, GINT_TO_POINTER(1));
  }
  // The press in the web view's coordinates.
  double rx = 0, ry = 0;
  gdk_event_get_root_coords(press, &rx, &ry);
  int ox = 0, oy = 0;
  gdk_window_get_origin(gtk_widget_get_window(view), &ox, &oy);
  GtkAllocation a;
  gtk_widget_get_allocation(view, &a);
  int x = static_cast<int>(rx) - ox - (gtk_widget_get_has_window(view) ? 0 : a.x);
  int y = static_cast<int>(ry) - oy - (gtk_widget_get_has_window(view) ? 0 : a.y);

  GtkTargetList* targets = gtk_target_list_new(nullptr, 0);
  gtk_target_list_add(targets, gdk_atom_intern_static_string("text/uri-list"), 0, kUriList);
  gtk_target_list_add(targets, gdk_atom_intern_static_string("x-special/gnome-copied-files"), 0,
                      kGnomeFiles);
  GdkDragContext* context =
      gtk_drag_begin_with_coordinates(view, targets, GDK_ACTION_COPY, 1, press, x, y);
  gtk_target_list_unref(targets);
  gdk_event_free(press);
  if (!context) return;
  g_object_set_data_full(G_OBJECT(context), kFilesKey, new DragFiles{paths},
                         [](gpointer p) { delete static_cast<DragFiles*>(p); });
  set_drag_image(context, paths, req->icon);
}
