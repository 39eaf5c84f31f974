#include "dialogs/modal_gtk.h"

#include <gtk/gtk.h>

#include <algorithm>
#include <memory>

#include "menus/context_menu_gtk.h"
#include "menus/menu_images_gtk.h"
#include "platform/gobj.h"
#include "platform/main_loop.h"

namespace {

struct OpenDialog {
  GtkWidget* alert = nullptr;          // a message dialog, or
  GRef<GtkFileChooserNative> chooser;  // a file dialog
  GtkWidget* entry = nullptr;          // the prompt's text field
  std::string entry_text;              // its text until the user edits it
  bool edited = false;
  GRef<GtkWindow> owner;  // closes the dialog unanswered when it goes
  DialogDone done;
};

std::vector<std::unique_ptr<OpenDialog>> g_open;

// Ends a dialog: it leaves the list and the screen, then its answer goes out.
void finish(OpenDialog* d, std::optional<DialogResult> result) {
  auto it = std::find_if(g_open.begin(), g_open.end(), [d](auto& p) { return p.get() == d; });
  if (it == g_open.end()) return;
  std::unique_ptr<OpenDialog> own = std::move(*it);
  g_open.erase(it);
  if (d->owner) g_signal_handlers_disconnect_by_data(d->owner.get(), d);
  if (d->alert) {
    g_signal_handlers_disconnect_by_data(d->alert, d);
    gtk_widget_destroy(d->alert);
  }
  if (d->chooser) {
    g_signal_handlers_disconnect_by_data(d->chooser.get(), d);
    gtk_native_dialog_destroy(GTK_NATIVE_DIALOG(d->chooser.get()));
  }
  d->done(std::move(result));
}

// The launcher stops: every open dialog is dismissed, so each request gets its answer.
void dismiss_open_dialogs() {
  while (!g_open.empty())
    finish(g_open.front().get(), DialogResult{});
}

OpenDialog* open_dialog(DialogPlace place, DialogDone done) {
  [[maybe_unused]] static const bool hooked = (kelo_on_quit(dismiss_open_dialogs), true);
  auto d = std::make_unique<OpenDialog>();
  d->done = std::move(done);
  if (place.owned && place.parent) {
    d->owner = GRef<GtkWindow>::retain(place.parent);
    g_signal_connect_swapped(place.parent, "destroy",
                             G_CALLBACK(+[](OpenDialog* d) { finish(d, std::nullopt); }), d.get());
  }
  g_open.push_back(std::move(d));
  return g_open.back().get();
}

// The window a dialog is placed over: only one that is shown.
GtkWindow* visible(GtkWindow* window) {
  return window && gtk_widget_get_visible(GTK_WIDGET(window)) ? window : nullptr;
}

void add_button(GtkDialog* dialog, const std::string& label, int response) {
  GtkWidget* button = gtk_button_new_with_label(valid_utf8(dialog_text(label)).c_str());
  gtk_widget_set_can_default(button, TRUE);
  gtk_widget_show(button);
  gtk_dialog_add_action_widget(dialog, button, response);
}

void on_alert_response(GtkDialog*, int response, gpointer data) {
  auto* d = static_cast<OpenDialog*>(data);
  DialogResult result;
  result.confirmed = response == GTK_RESPONSE_OK;
  // A field holds at most 65535 characters: a longer text the user left alone is answered
  // whole.
  if (result.confirmed && d->entry) {
    result.values.emplace_back(d->edited ? gtk_entry_get_text(GTK_ENTRY(d->entry)) : d->entry_text);
  }
  finish(d, std::move(result));
}

void on_chooser_response(GtkNativeDialog* native, int response, gpointer data) {
  DialogResult result;
  result.confirmed = response == GTK_RESPONSE_ACCEPT;
  if (result.confirmed) {
    GSList* files = gtk_file_chooser_get_files(GTK_FILE_CHOOSER(native));
    for (GSList* f = files; f; f = f->next) {
      if (GCharPtr path{g_file_get_path(G_FILE(f->data))}) result.values.emplace_back(path.get());
    }
    g_slist_free_full(files, g_object_unref);
  }
  finish(static_cast<OpenDialog*>(data), std::move(result));
}

const char* chooser_title(const ChooserSpec& spec) {
  switch (spec.mode) {
    case ChooserSpec::Mode::Save:
      return "Save";
    case ChooserSpec::Mode::Folder:
      return "Select Folder";
    case ChooserSpec::Mode::Open:
      break;
  }
  return "Open";
}

}  // namespace

void show_alert(const AlertSpec& spec, DialogPlace place, DialogDone done) {
  GtkWidget* widget =
      gtk_message_dialog_new(visible(place.parent), GTK_DIALOG_MODAL,
                             spec.cancel.empty() ? GTK_MESSAGE_INFO : GTK_MESSAGE_QUESTION,
                             GTK_BUTTONS_NONE, "%s", valid_utf8(dialog_text(spec.message)).c_str());
  auto* dialog = GTK_DIALOG(widget);
  if (!spec.detail.empty()) {
    gtk_message_dialog_format_secondary_text(GTK_MESSAGE_DIALOG(widget), "%s",
                                             valid_utf8(dialog_text(spec.detail)).c_str());
  }
  gtk_window_set_title(GTK_WINDOW(widget), valid_utf8(dialog_text(spec.title)).c_str());
  GtkWidget* area = gtk_message_dialog_get_message_area(GTK_MESSAGE_DIALOG(widget));
  GList* labels = gtk_container_get_children(GTK_CONTAINER(area));
  for (GList* l = labels; l; l = l->next) {
    if (GTK_IS_LABEL(l->data)) gtk_label_set_selectable(GTK_LABEL(l->data), !ctx_suppressed());
  }
  g_list_free(labels);
  if (!spec.cancel.empty()) add_button(dialog, spec.cancel, GTK_RESPONSE_CANCEL);
  add_button(dialog, spec.ok, GTK_RESPONSE_OK);
  gtk_dialog_set_default_response(dialog, GTK_RESPONSE_OK);

  OpenDialog* d = open_dialog(place, std::move(done));
  d->alert = widget;
  if (spec.entry) {
    d->entry = gtk_entry_new();
    d->entry_text = valid_utf8(spec.entry_text);
    gtk_entry_set_text(GTK_ENTRY(d->entry), d->entry_text.c_str());
    g_signal_connect_swapped(d->entry, "changed",
                             G_CALLBACK(+[](OpenDialog* d) { d->edited = true; }), d);
    gtk_entry_set_activates_default(GTK_ENTRY(d->entry), TRUE);
    gtk_widget_set_size_request(d->entry, 260, 24);
    gtk_widget_set_halign(d->entry, GTK_ALIGN_START);
    gtk_box_pack_end(GTK_BOX(area), d->entry, FALSE, FALSE, 0);
    gtk_widget_show(d->entry);
    gtk_window_set_focus(GTK_WINDOW(widget), d->entry);
  }
  g_signal_connect(widget, "response", G_CALLBACK(on_alert_response), d);
  // Destroyed some other way (the app's windows going with the process): no answer.
  g_signal_connect_swapped(widget, "destroy", G_CALLBACK(+[](OpenDialog* d) {
                             d->alert = nullptr;
                             finish(d, std::nullopt);
                           }),
                           d);
  gtk_widget_show(widget);
}

void show_chooser(const ChooserSpec& spec, GtkFileFilter* filter, DialogPlace place,
                  DialogDone done) {
  GtkFileChooserAction action = spec.mode == ChooserSpec::Mode::Save ? GTK_FILE_CHOOSER_ACTION_SAVE
                                : spec.mode == ChooserSpec::Mode::Folder
                                    ? GTK_FILE_CHOOSER_ACTION_SELECT_FOLDER
                                    : GTK_FILE_CHOOSER_ACTION_OPEN;
  auto native = GRef<GtkFileChooserNative>::adopt(gtk_file_chooser_native_new(
      chooser_title(spec), visible(place.parent), action,
      spec.mode == ChooserSpec::Mode::Folder ? "_Select" : nullptr, nullptr));
  gtk_native_dialog_set_modal(GTK_NATIVE_DIALOG(native.get()), TRUE);
  auto* chooser = GTK_FILE_CHOOSER(native.get());
  gtk_file_chooser_set_select_multiple(chooser, spec.multiple);
  if (spec.mode == ChooserSpec::Mode::Save) {
    gtk_file_chooser_set_do_overwrite_confirmation(chooser, TRUE);
    if (!spec.name.empty())
      gtk_file_chooser_set_current_name(chooser, valid_utf8(spec.name).c_str());
  }
  if (filter) gtk_file_chooser_add_filter(chooser, filter);
  // A folder is picked from the folders of home, not from a list of recent files.
  if (spec.mode == ChooserSpec::Mode::Folder) {
    gtk_file_chooser_set_current_folder(chooser, g_get_home_dir());
  }

  OpenDialog* d = open_dialog(place, std::move(done));
  d->chooser = native;
  g_signal_connect(native.get(), "response", G_CALLBACK(on_chooser_response), d);
  gtk_native_dialog_show(GTK_NATIVE_DIALOG(native.get()));
}
