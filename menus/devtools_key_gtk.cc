#include "menus/devtools_key_gtk.h"

#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include "launcher/app_state.h"
#include "launcher/startup.h"

namespace {

gboolean on_key(GtkWidget*, GdkEventKey* event, gpointer) {
  constexpr guint kMods = GDK_SHIFT_MASK | GDK_CONTROL_MASK | GDK_MOD1_MASK | GDK_SUPER_MASK;
  if (event->keyval != GDK_KEY_F12 || (event->state & kMods)) return FALSE;
  kelo_show_dev_tools();
  return TRUE;
}

}  // namespace

void kelo_install_devtools_key(WebKitWebView* view) {
  if (g_debug) g_signal_connect(view, "key-press-event", G_CALLBACK(on_key), nullptr);
}
