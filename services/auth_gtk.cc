// AUTH: a dialog asks for the password of the user running the launcher and PAM checks it on
// a worker thread; the dialog answers from its signals, so the wire keeps flowing meanwhile.
#include "services/auth_gtk.h"

#include <gtk/gtk.h>
#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <deque>
#include <functional>
#include <thread>

#include "launcher/app_state.h"
#include "launcher/webview.h"
#include "platform/gobj.h"
#include "platform/main_loop.h"
#include "services/auth_pam.h"
#include "services/pending_replies.h"

namespace {

constexpr const char* kQuitting = "the launcher is quitting";

std::string user_name() {
  std::string name;
  long size = sysconf(_SC_GETPW_R_SIZE_MAX);
  std::string buf(size > 0 ? static_cast<size_t>(size) : 16384, '\0');
  passwd pw{};
  passwd* found = nullptr;
  if (getpwuid_r(getuid(), &pw, buf.data(), buf.size(), &found) == 0 && found) {
    name = found->pw_name;
  }
  return name;
}

PamService checking_service() {
  return pam_service(std::getenv("KELOJS_TEST_PAM_SERVICE"));
}

// Runs work on a thread of its own, then done with its result on the main thread.
template <class T>
void off_main_thread(std::function<T()> work, std::function<void(T)> done) {
  std::thread([work = std::move(work), done = std::move(done)]() mutable {
    T result = work();
    kelo_run_after(0, [done = std::move(done), result] { done(result); });
  }).detach();
}

struct AuthSession {
  uint64_t ticket = 0;
  std::string user;
  int tries_left = kAuthTries;
  GtkWidget* dialog = nullptr;  // owned by GTK until destroyed
  GtkEntry* entry = nullptr;
  GtkLabel* status = nullptr;
  bool checking = false;
  // Passwords submitted while one is being checked, tried in turn: typing ahead loses nothing.
  std::deque<std::string> queued;
  bool finished = false;

  ~AuthSession() { wipe(); }
  void wipe() {
    for (std::string& p : queued)
      explicit_bzero(p.data(), p.size());
    queued.clear();
  }
};
using Session = std::shared_ptr<AuthSession>;

void finish(const Session& s, const std::string& reply) {
  if (s->finished) return;
  s->finished = true;
  s->wipe();
  service_replies().answer(s->ticket, reply);
  if (s->dialog) gtk_widget_destroy(s->dialog);
  s->dialog = nullptr;
}

void check(const Session& s, std::string password);

void on_checked(const Session& s, PamResult result) {
  s->checking = false;
  if (s->finished) return;
  AuthStep step = auth_after_check(result, s->tries_left);
  if (step.done) {
    finish(s, step.reply);
    return;
  }
  gtk_label_set_text(s->status, "Wrong password. Try again.");
  if (!s->queued.empty()) {
    std::string next = std::move(s->queued.front());
    s->queued.pop_front();
    check(s, std::move(next));
  }
}

void check(const Session& s, std::string password) {
  s->checking = true;
  off_main_thread<PamResult>(
      [service = checking_service(), user = s->user, password = std::move(password)]() mutable {
        PamResult result = pam_check_password(service, user, password);
        explicit_bzero(password.data(), password.size());
        return result;
      },
      [s](PamResult result) { on_checked(s, result); });
}

// Takes what was typed; it is checked at once, or after the password being checked.
void submit(const Session& s) {
  std::string password = gtk_entry_get_text(s->entry);
  gtk_entry_set_text(s->entry, "");
  if (s->checking) {
    s->queued.push_back(std::move(password));
  } else {
    gtk_label_set_text(s->status, "");
    check(s, std::move(password));
  }
}

void on_response(GtkDialog*, int response, gpointer data) {
  // A copy: destroying the dialog frees the handler's own.
  Session s = *static_cast<Session*>(data);
  if (response != GTK_RESPONSE_OK) {
    finish(s, auth_reply(false, "canceled by user"));
  } else {
    submit(s);
  }
}

void on_activate(GtkEntry*, gpointer data) {
  submit(*static_cast<Session*>(data));
}

GtkWidget* wrapped_label(const std::string& text, const char* markup_format) {
  GtkWidget* label = gtk_label_new(nullptr);
  if (markup_format) {
    GCharPtr markup(g_markup_printf_escaped(markup_format, text.c_str()));
    gtk_label_set_markup(GTK_LABEL(label), markup.get());
  } else {
    gtk_label_set_text(GTK_LABEL(label), text.c_str());
  }
  gtk_label_set_line_wrap(GTK_LABEL(label), TRUE);
  gtk_label_set_max_width_chars(GTK_LABEL(label), 50);
  gtk_label_set_xalign(GTK_LABEL(label), 0);
  return label;
}

void show_dialog(webview_t w, const Session& s, const std::string& reason) {
  GtkWindow* parent = w ? webview_window(w) : nullptr;
  if (parent && !gtk_widget_get_visible(GTK_WIDGET(parent))) parent = nullptr;
  GtkWidget* dialog = gtk_dialog_new_with_buttons(
      g_app_name.c_str(), parent, GTK_DIALOG_DESTROY_WITH_PARENT, "_Cancel", GTK_RESPONSE_CANCEL,
      "_Authenticate", GTK_RESPONSE_OK, nullptr);
  s->dialog = dialog;
  gtk_dialog_set_default_response(GTK_DIALOG(dialog), GTK_RESPONSE_OK);
  gtk_window_set_resizable(GTK_WINDOW(dialog), FALSE);
  gtk_window_set_keep_above(GTK_WINDOW(dialog), TRUE);
  gtk_window_set_position(GTK_WINDOW(dialog),
                          parent ? GTK_WIN_POS_CENTER_ON_PARENT : GTK_WIN_POS_CENTER);

  GtkWidget* row = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 12);
  gtk_container_set_border_width(GTK_CONTAINER(row), 12);
  gtk_box_pack_start(GTK_BOX(row),
                     gtk_image_new_from_icon_name("dialog-password", GTK_ICON_SIZE_DIALOG), FALSE,
                     FALSE, 0);
  GtkWidget* column = gtk_box_new(GTK_ORIENTATION_VERTICAL, 8);
  gtk_box_pack_start(
      GTK_BOX(column),
      wrapped_label(g_app_name + " wants to " + reason, "<span weight=\"bold\">%s</span>"), FALSE,
      FALSE, 0);
  gtk_box_pack_start(GTK_BOX(column),
                     wrapped_label("Enter the password of " + s->user + " to allow this.", nullptr),
                     FALSE, FALSE, 0);
  GtkWidget* entry = gtk_entry_new();
  gtk_entry_set_visibility(GTK_ENTRY(entry), FALSE);
  gtk_entry_set_input_purpose(GTK_ENTRY(entry), GTK_INPUT_PURPOSE_PASSWORD);
  gtk_box_pack_start(GTK_BOX(column), entry, FALSE, FALSE, 0);
  GtkWidget* status = wrapped_label("", nullptr);
  gtk_box_pack_start(GTK_BOX(column), status, FALSE, FALSE, 0);
  gtk_box_pack_start(GTK_BOX(row), column, TRUE, TRUE, 0);
  gtk_box_pack_start(GTK_BOX(gtk_dialog_get_content_area(GTK_DIALOG(dialog))), row, TRUE, TRUE, 0);
  s->entry = GTK_ENTRY(entry);
  s->status = GTK_LABEL(status);

  auto forget = [](gpointer data, GClosure*) { delete static_cast<Session*>(data); };
  g_signal_connect_data(dialog, "response", G_CALLBACK(on_response), new Session(s), forget,
                        GConnectFlags(0));
  // Return submits at once, not through the default button's delayed click: a password typed
  // ahead right after it is not lost.
  g_signal_connect_data(entry, "activate", G_CALLBACK(on_activate), new Session(s), forget,
                        GConnectFlags(0));
  gtk_widget_show_all(dialog);
  gtk_widget_grab_focus(entry);
  gtk_window_present(GTK_WINDOW(dialog));
}

}  // namespace

void do_auth(webview_t w, std::unique_ptr<AuthReq> req) {
  auto s = std::make_shared<AuthSession>();
  s->ticket = service_replies().open(req->id, auth_reply(false, kQuitting));
  s->user = user_name();
  std::string reason = auth_reason(req->reason);
  auto probe = [service = checking_service(), user = s->user] {
    return !user.empty() && pam_can_start(service, user);
  };
  off_main_thread<bool>(probe, [w, s, reason](bool can_start) {
    if (!can_start) {
      finish(s, auth_reply(false, "authentication unavailable"));
    } else if (!s->finished) {
      show_dialog(w, s, reason);
    }
  });
}
