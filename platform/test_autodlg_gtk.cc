#include "platform/test_autodlg_gtk.h"

#include <gtk/gtk.h>

#include <cstdlib>
#include <string>

#include "platform/main_loop.h"

namespace {

constexpr unsigned kPollMs = 200;
constexpr int kRetries = 30;

GtkWindow* modal_window() {
  GtkWindow* found = nullptr;
  GList* toplevels = gtk_window_list_toplevels();
  for (GList* l = toplevels; l && !found; l = l->next) {
    auto* window = GTK_WINDOW(l->data);
    if (gtk_window_get_modal(window) && gtk_widget_get_visible(GTK_WIDGET(window))) found = window;
  }
  g_list_free(toplevels);
  return found;
}

bool is_return_response(int response) {
  return response == GTK_RESPONSE_ACCEPT || response == GTK_RESPONSE_OK ||
         response == GTK_RESPONSE_YES || response == GTK_RESPONSE_APPLY;
}

bool is_escape_response(int response) {
  return response == GTK_RESPONSE_CANCEL || response == GTK_RESPONSE_NO ||
         response == GTK_RESPONSE_REJECT || response == GTK_RESPONSE_CLOSE;
}

struct Buttons {
  GtkDialog* dialog = nullptr;
  GtkWidget* escape = nullptr;
  GtkWidget* ret = nullptr;
  GtkWidget* first = nullptr;
};

// Depth first, internal children included.
void collect(GtkWidget* widget, gpointer data) {
  auto* b = static_cast<Buttons*>(data);
  if (GTK_IS_BUTTON(widget) && gtk_widget_get_visible(widget)) {
    int response =
        b->dialog ? gtk_dialog_get_response_for_widget(b->dialog, widget) : GTK_RESPONSE_NONE;
    if (!b->first) b->first = widget;
    if (!b->ret && (gtk_widget_has_default(widget) || is_return_response(response))) {
      b->ret = widget;
    }
    if (!b->escape && is_escape_response(response)) b->escape = widget;
  }
  if (GTK_IS_CONTAINER(widget)) gtk_container_forall(GTK_CONTAINER(widget), collect, data);
}

// False while the button to press is insensitive (a print dialog still looking for printers):
// no user could press it yet.
bool answer(GtkWindow* window, bool cancel) {
  if (GTK_IS_FILE_CHOOSER_DIALOG(window)) {
    // Goes through the chooser's own checks, as its Save or Cancel button does.
    gtk_dialog_response(GTK_DIALOG(window), cancel ? GTK_RESPONSE_CANCEL : GTK_RESPONSE_ACCEPT);
    return true;
  }
  Buttons b;
  b.dialog = GTK_IS_DIALOG(window) ? GTK_DIALOG(window) : nullptr;
  collect(GTK_WIDGET(window), &b);
  GtkWidget* button = cancel && b.escape ? b.escape : b.ret ? b.ret : b.first;
  if (button && !gtk_widget_is_sensitive(button)) return false;
  if (button) gtk_button_clicked(GTK_BUTTON(button));
  return true;
}

void poll(const std::string& value, int tries) {
  kelo_run_after(kPollMs, [value, tries] {
    GtkWindow* window = modal_window();
    if (window && answer(window, value == "cancel")) return;
    if (tries > 0) {
      poll(value, tries - 1);
    }
  });
}

}  // namespace

void kelo_test_autodlg_arm() {
  const char* value = std::getenv("KELOJS_TEST_AUTODLG");
  if (value && *value) poll(value, kRetries);
}
