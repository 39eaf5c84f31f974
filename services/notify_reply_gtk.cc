// The launcher's own dialog for the text of a reply, where the notification server cannot
// take it: it answers from its response signal, never holding up the main loop.
#include <gtk/gtk.h>

#include "launcher/webview.h"
#include "services/desktop_services_gtk.h"
#include "wire/link.h"

namespace {

void on_response(GtkDialog* dialog, int response, gpointer data) {
  auto* prompt = static_cast<ReplyPrompt*>(data);
  if (response == GTK_RESPONSE_OK) {
    GtkEntry* entry = GTK_ENTRY(g_object_get_data(G_OBJECT(dialog), "kelo-reply-entry"));
    sock_write_line(notify_action_line(prompt->key, prompt->action, gtk_entry_get_text(entry)));
  }
  gtk_widget_destroy(GTK_WIDGET(dialog));
}

}  // namespace

void show_reply_dialog(const ReplyPrompt& prompt) {
  std::string title = prompt.title.empty() ? service_app_name() : prompt.title;
  GtkWindow* parent = g_w ? webview_window(g_w) : nullptr;
  GtkWidget* dialog = gtk_dialog_new();
  gtk_window_set_title(GTK_WINDOW(dialog), title.c_str());
  if (parent) gtk_window_set_transient_for(GTK_WINDOW(dialog), parent);
  gtk_window_set_destroy_with_parent(GTK_WINDOW(dialog), TRUE);
  gtk_dialog_add_button(GTK_DIALOG(dialog), "_Cancel", GTK_RESPONSE_CANCEL);
  GtkWidget* send = gtk_dialog_add_button(
      GTK_DIALOG(dialog), prompt.button.empty() ? "Send" : prompt.button.c_str(), GTK_RESPONSE_OK);
  gtk_button_set_use_underline(GTK_BUTTON(send), FALSE);
  gtk_dialog_set_default_response(GTK_DIALOG(dialog), GTK_RESPONSE_OK);

  GtkWidget* entry = gtk_entry_new();
  gtk_entry_set_placeholder_text(GTK_ENTRY(entry), prompt.placeholder.c_str());
  gtk_entry_set_activates_default(GTK_ENTRY(entry), TRUE);
  gtk_entry_set_width_chars(GTK_ENTRY(entry), 40);
  g_object_set(entry, "margin", 12, nullptr);
  gtk_container_add(GTK_CONTAINER(gtk_dialog_get_content_area(GTK_DIALOG(dialog))), entry);
  g_object_set_data(G_OBJECT(dialog), "kelo-reply-entry", entry);

  auto* held = new ReplyPrompt(prompt);
  g_signal_connect_data(
      dialog, "response", G_CALLBACK(on_response), held,
      [](gpointer p, GClosure*) { delete static_cast<ReplyPrompt*>(p); }, GConnectFlags(0));
  gtk_widget_show_all(dialog);
  gtk_window_present(GTK_WINDOW(dialog));
}
