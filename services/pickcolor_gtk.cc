// PICKCOLOR: the desktop portal's colour picker where a portal answers; else the launcher's own
// sampler: a pointer and keyboard grab with a crosshair, the pixel under the click read from
// the screen, Escape (or any other button) cancels.
#include <gdk/gdk.h>
#include <gio/gio.h>
#include <gtk/gtk.h>

#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "platform/gobj.h"
#include "platform/main_loop.h"
#include "services/capture_gtk.h"
#include "services/pickcolor.h"
#include "services/window_handle_x11.h"
#include "wire/link.h"

namespace {

// ---- the launcher's own sampler ----------------------------------------------------------

// The pick the sampler serves; grab is null while the grab is still being tried.
struct Sampler {
  std::string id;
  unsigned serial = 0;
  GtkWidget* grab = nullptr;  // an input-only window that receives every event while grabbed
};
std::optional<Sampler> g_sampler;
unsigned g_serial = 0;

void end_sampler(const std::optional<std::string>& color) {
  if (!g_sampler) return;
  Sampler s = std::move(*g_sampler);
  g_sampler.reset();
  if (s.grab) {
    gdk_seat_ungrab(gdk_display_get_default_seat(gdk_display_get_default()));
    gtk_widget_destroy(s.grab);
  }
  send_reply(s.id, pickcolor_json(color));
}

std::optional<std::string> pixel_at(double x_root, double y_root) {
  auto pixel = GRef<GdkPixbuf>::adopt(gdk_pixbuf_get_from_window(
      gdk_get_default_root_window(), static_cast<int>(x_root), static_cast<int>(y_root), 1, 1));
  if (!pixel) return std::nullopt;
  const guchar* p = gdk_pixbuf_read_pixels(pixel.get());
  return color_hex(p[0] / 255.0, p[1] / 255.0, p[2] / 255.0);
}

gboolean on_button(GtkWidget*, GdkEventButton* e, gpointer) {
  if (e->type != GDK_BUTTON_PRESS) return TRUE;
  end_sampler(e->button == GDK_BUTTON_PRIMARY ? pixel_at(e->x_root, e->y_root) : std::nullopt);
  return TRUE;
}

gboolean on_key(GtkWidget*, GdkEventKey* e, gpointer) {
  if (e->keyval == GDK_KEY_Escape) end_sampler(std::nullopt);
  return TRUE;
}

// Grabs the pointer and keyboard for the pick. Another client may hold a grab for a moment
// (a menu that closes, say): the grab is tried again every 50 ms, 20 times at most, before the
// pick answers null.
void grab_for(unsigned serial, int tries_left) {
  if (!g_sampler || g_sampler->serial != serial) return;  // replaced, and answered
  GtkWidget* grab = gtk_invisible_new();
  gtk_widget_add_events(grab, GDK_BUTTON_PRESS_MASK | GDK_KEY_PRESS_MASK);
  gtk_widget_show(grab);
  GdkDisplay* display = gdk_display_get_default();
  auto cursor = GRef<GdkCursor>::adopt(gdk_cursor_new_for_display(display, GDK_CROSSHAIR));
  GdkGrabStatus status =
      gdk_seat_grab(gdk_display_get_default_seat(display), gtk_widget_get_window(grab),
                    GDK_SEAT_CAPABILITY_ALL, FALSE, cursor.get(), nullptr, nullptr, nullptr);
  if (status == GDK_GRAB_SUCCESS) {
    g_signal_connect(grab, "button-press-event", G_CALLBACK(on_button), nullptr);
    g_signal_connect(grab, "key-press-event", G_CALLBACK(on_key), nullptr);
    g_sampler->grab = grab;
    return;
  }
  gtk_widget_destroy(grab);
  if (tries_left <= 0 || status == GDK_GRAB_NOT_VIEWABLE) return end_sampler(std::nullopt);
  kelo_run_after(50, [serial, tries_left] { grab_for(serial, tries_left - 1); });
}

void start_sampler(const std::string& id) {
  end_sampler(std::nullopt);  // a new pick replaces one that runs
  g_sampler = Sampler{id, ++g_serial, nullptr};
  grab_for(g_serial, 20);
}

// ---- the desktop portal ----------------------------------------------------------------------

constexpr const char* kPortal = "org.freedesktop.portal.Desktop";

struct PortalPick {
  std::string id;
  std::string parent;  // the main window's handle
  GRef<GDBusConnection> bus;
  guint subscription = 0;
  bool answered = false;
};
using PickRef = std::shared_ptr<PortalPick>;

// Ends the portal's part of a pick once; false when it had ended already.
bool finish(PortalPick& pick) {
  if (pick.answered) return false;
  pick.answered = true;
  if (pick.subscription) g_dbus_connection_signal_unsubscribe(pick.bus.get(), pick.subscription);
  pick.subscription = 0;
  return true;
}

// The portal answered: a colour, or null when the user cancelled.
void answer(PortalPick& pick, const std::optional<std::string>& color) {
  if (finish(pick)) send_reply(pick.id, pickcolor_json(color));
}

// No portal, or one without a picker: the launcher's own sampler takes over.
void fall_back(PortalPick& pick) {
  if (finish(pick)) start_sampler(pick.id);
}

// Picks still open when the launcher quits are answered as cancelled.
std::vector<std::weak_ptr<PortalPick>> g_portal_picks;

void cancel_picks_at_quit() {
  for (auto& weak : std::exchange(g_portal_picks, {})) {
    if (PickRef pick = weak.lock()) answer(*pick, std::nullopt);
  }
  end_sampler(std::nullopt);
}

void on_response(GDBusConnection*, const char*, const char*, const char*, const char*,
                 GVariant* params, gpointer data) {
  PortalPick& pick = **static_cast<PickRef*>(data);
  guint32 response = 2;
  GVariant* results = nullptr;
  g_variant_get(params, "(u@a{sv})", &response, &results);
  double r, g, b;
  if (response == 0 && g_variant_lookup(results, "color", "(ddd)", &r, &g, &b)) {
    answer(pick, color_hex(r, g, b));
  } else if (response == 1) {
    answer(pick, std::nullopt);
  } else {
    fall_back(pick);
  }
  if (results) g_variant_unref(results);
}

void on_called(GObject* source, GAsyncResult* result, gpointer data) {
  std::unique_ptr<PickRef> pick(static_cast<PickRef*>(data));
  GVariant* reply = g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, nullptr);
  if (!reply) return fall_back(**pick);
  g_variant_unref(reply);
}

void on_bus(GObject*, GAsyncResult* result, gpointer data) {
  std::unique_ptr<PickRef> pick(static_cast<PickRef*>(data));
  PortalPick& p = **pick;
  p.bus = GRef<GDBusConnection>::adopt(g_bus_get_finish(result, nullptr));
  if (!p.bus) return start_sampler(p.id);
  // The request's object path is known before the call, so its answer cannot be missed.
  static unsigned counter = 0;
  std::string token = "kelojs_pick" + std::to_string(++counter);
  std::string sender = g_dbus_connection_get_unique_name(p.bus.get()) + 1;
  for (char& c : sender)
    if (c == '.') c = '_';
  std::string handle = "/org/freedesktop/portal/desktop/request/" + sender + "/" + token;
  p.subscription = g_dbus_connection_signal_subscribe(
      p.bus.get(), kPortal, "org.freedesktop.portal.Request", "Response", handle.c_str(), nullptr,
      G_DBUS_SIGNAL_FLAGS_NONE, on_response, new PickRef(*pick),
      [](gpointer box) { delete static_cast<PickRef*>(box); });
  GVariantBuilder options;
  g_variant_builder_init(&options, G_VARIANT_TYPE_VARDICT);
  g_variant_builder_add(&options, "{sv}", "handle_token", g_variant_new_string(token.c_str()));
  g_dbus_connection_call(
      p.bus.get(), kPortal, "/org/freedesktop/portal/desktop", "org.freedesktop.portal.Screenshot",
      "PickColor", g_variant_new("(sa{sv})", p.parent.c_str(), &options), G_VARIANT_TYPE("(o)"),
      G_DBUS_CALL_FLAGS_NONE, -1, nullptr, on_called, pick.release());
}

}  // namespace

void do_pickcolor(webview_t w, std::unique_ptr<std::string> id) {
  auto pick = std::make_shared<PortalPick>();
  pick->id = std::move(*id);
  pick->parent = main_window_handle(w);
  [[maybe_unused]] static const bool hooked = (kelo_on_quit(cancel_picks_at_quit), true);
  std::erase_if(g_portal_picks, [](const auto& weak) { return weak.expired(); });
  g_portal_picks.push_back(pick);
  g_bus_get(G_BUS_TYPE_SESSION, nullptr, on_bus, new PickRef(std::move(pick)));
}
