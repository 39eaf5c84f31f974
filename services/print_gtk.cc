// Printing goes through the engine's print operation without its own dialog runner, which
// spins a nested main loop: the launcher shows the print dialog itself, answers it from its
// response signal and hands the chosen settings to webkit_print_operation_print. A PDF is the
// same operation aimed at the "Print to File" printer.
#include "services/print_gtk.h"

#include <fcntl.h>
#include <glib/gstdio.h>
#include <gtk/gtk.h>
#include <gtk/gtkunixprint.h>
#include <sys/stat.h>
#include <unistd.h>
#include <webkit2/webkit2.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <list>

#include "platform/gobj.h"
#include "platform/main_loop.h"
#include "platform/test_autodlg_gtk.h"
#include "windows/registry.h"
#include "wire/link.h"

namespace {

constexpr const char* kDialogKey = "kelo-print-dialog";

// The choices of the last print dialog, offered again by the next one.
GRef<GtkPrintSettings> g_last_settings;
GRef<GtkPageSetup> g_last_page_setup;

void report_print_failure(WebKitPrintOperation*, GError* error, gpointer) {
  std::fprintf(stderr, "kelojs: printing failed: %s\n", error ? error->message : "unknown error");
}

// Prints with the operation's settings; the operation lives until the engine is done with it.
void start_print(WebKitPrintOperation* op) {
  g_signal_connect(op, "failed", G_CALLBACK(report_print_failure), nullptr);
  g_signal_connect(op, "finished", G_CALLBACK(g_object_unref), nullptr);
  webkit_print_operation_print(WEBKIT_PRINT_OPERATION(g_object_ref(op)));
}

// ---- PRINT ---------------------------------------------------------------------------------

struct PrintJob {
  GRef<WebKitPrintOperation> op;
  GRef<GtkWindow> window;
  GRef<GtkWindowGroup> own_group;  // made for the window and its dialog, taken back after
};

void on_print_response(GtkDialog* dialog, int response, gpointer data) {
  auto* job = static_cast<PrintJob*>(data);
  auto* unix_dialog = GTK_PRINT_UNIX_DIALOG(dialog);
  GtkPrinter* printer = gtk_print_unix_dialog_get_selected_printer(unix_dialog);
  if (response == GTK_RESPONSE_OK && printer) {
    auto settings = GRef<GtkPrintSettings>::adopt(gtk_print_unix_dialog_get_settings(unix_dialog));
    gtk_print_settings_set_printer(settings.get(), gtk_printer_get_name(printer));
    auto page_setup = GRef<GtkPageSetup>::retain(gtk_print_unix_dialog_get_page_setup(unix_dialog));
    webkit_print_operation_set_print_settings(job->op.get(), settings.get());
    webkit_print_operation_set_page_setup(job->op.get(), page_setup.get());
    g_last_settings = settings;
    g_last_page_setup = page_setup;
    start_print(job->op.get());
  }
  gtk_widget_destroy(GTK_WIDGET(dialog));
}

void on_print_dialog_destroy(GtkWidget*, gpointer data) {
  auto* job = static_cast<PrintJob*>(data);
  GtkWindow* window = job->window.get();
  g_object_set_data(G_OBJECT(window), kDialogKey, nullptr);
  if (job->own_group && gtk_window_get_group(window) == job->own_group.get()) {
    gtk_window_group_remove_window(job->own_group.get(), window);
  }
  delete job;
}

// The dialog blocks its own window only: the two share a window group of their own.
void make_window_modal(GtkWindow* dialog, PrintJob& job) {
  GtkWindow* window = job.window.get();
  gtk_window_set_transient_for(dialog, window);
  gtk_window_set_destroy_with_parent(dialog, TRUE);
  gtk_window_set_modal(dialog, TRUE);
  if (!gtk_window_has_group(window)) {
    job.own_group = GRef<GtkWindowGroup>::adopt(gtk_window_group_new());
    gtk_window_group_add_window(job.own_group.get(), window);
  }
  gtk_window_group_add_window(gtk_window_get_group(window), dialog);
}

// ---- PDF -----------------------------------------------------------------------------------

struct PdfJob {
  std::string id;
  std::string path;
  std::string temp;
  GRef<WebKitWebView> view;
  GRef<WebKitPrintOperation> op;
  std::string error;  // why there is no file; empty while all goes well
};
std::list<PdfJob> g_pdf_jobs;

// Answers with the file in place, or with the reason it is not.
void answer_pdf(PdfJob& job) {
  std::string error = job.error;
  struct stat st;
  if (error.empty() && (stat(job.temp.c_str(), &st) != 0 || st.st_size == 0)) {
    error = "pdf write failed";
  }
  if (error.empty() && std::rename(job.temp.c_str(), job.path.c_str()) != 0) {
    error = std::strerror(errno);
  }
  if (!error.empty()) g_unlink(job.temp.c_str());
  send_reply(job.id, error.empty() ? pdf_ok_json(job.path) : pdf_error_json(error));
}

void end_pdf(PdfJob* job) {
  answer_pdf(*job);
  g_signal_handlers_disconnect_by_data(job->op.get(), job);
  g_signal_handlers_disconnect_by_data(job->view.get(), job);
  g_pdf_jobs.remove_if([job](const PdfJob& j) { return &j == job; });
}

void on_pdf_failed(WebKitPrintOperation*, GError* error, gpointer data) {
  auto* job = static_cast<PdfJob*>(data);
  job->error = error && error->message && *error->message ? error->message : "pdf write failed";
}

void on_pdf_finished(WebKitPrintOperation*, gpointer data) {
  end_pdf(static_cast<PdfJob*>(data));
}

void on_pdf_view_gone(GtkWidget*, gpointer data) {
  auto* job = static_cast<PdfJob*>(data);
  job->error = "the window closed before the PDF was written";
  end_pdf(job);
}

void answer_pdfs_at_exit() {
  while (!g_pdf_jobs.empty()) {
    g_pdf_jobs.front().error = "the launcher quit before the PDF was written";
    end_pdf(&g_pdf_jobs.front());
  }
}

// The temporary file beside the target, or the reason there can be none.
std::string make_temp(const std::string& path, std::string& temp) {
  struct stat st;
  if (stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return std::strerror(EISDIR);
  temp = pdf_temp_template(path);
  int fd = g_mkstemp_full(temp.data(), O_RDWR | O_CLOEXEC, 0666);
  if (fd < 0) return std::strerror(errno);
  close(fd);
  return {};
}

GRef<GtkPrintSettings> pdf_settings(const std::string& temp) {
  auto settings = GRef<GtkPrintSettings>::adopt(gtk_print_settings_new());
  GCharPtr absolute(g_canonicalize_filename(temp.c_str(), nullptr));
  GCharPtr uri(g_filename_to_uri(absolute.get(), nullptr, nullptr));
  gtk_print_settings_set_printer(settings.get(), "Print to File");
  gtk_print_settings_set(settings.get(), GTK_PRINT_SETTINGS_OUTPUT_FILE_FORMAT, "pdf");
  gtk_print_settings_set(settings.get(), GTK_PRINT_SETTINGS_OUTPUT_URI, uri.get());
  return settings;
}

}  // namespace

void do_print(webview_t w, std::unique_ptr<std::string> window_id) {
  WebKitWebView* view = webview_for_id(w, *window_id);
  GtkWindow* window = window_for_id(w, *window_id);
  if (!view || !window) return;
  if (auto* open = static_cast<GtkWindow*>(g_object_get_data(G_OBJECT(window), kDialogKey))) {
    gtk_window_present(open);
    return;
  }
  auto* job = new PrintJob{GRef<WebKitPrintOperation>::adopt(webkit_print_operation_new(view)),
                           GRef<GtkWindow>::retain(window),
                           {}};
  GtkWidget* dialog = gtk_print_unix_dialog_new(nullptr, window);
  auto* unix_dialog = GTK_PRINT_UNIX_DIALOG(dialog);
  gtk_print_unix_dialog_set_manual_capabilities(
      unix_dialog,
      GtkPrintCapabilities(GTK_PRINT_CAPABILITY_PAGE_SET | GTK_PRINT_CAPABILITY_COPIES |
                           GTK_PRINT_CAPABILITY_COLLATE | GTK_PRINT_CAPABILITY_REVERSE |
                           GTK_PRINT_CAPABILITY_SCALE | GTK_PRINT_CAPABILITY_GENERATE_PDF |
                           GTK_PRINT_CAPABILITY_GENERATE_PS | GTK_PRINT_CAPABILITY_NUMBER_UP |
                           GTK_PRINT_CAPABILITY_NUMBER_UP_LAYOUT));
  gtk_print_unix_dialog_set_embed_page_setup(unix_dialog, TRUE);
  if (g_last_settings) gtk_print_unix_dialog_set_settings(unix_dialog, g_last_settings.get());
  if (g_last_page_setup) gtk_print_unix_dialog_set_page_setup(unix_dialog, g_last_page_setup.get());
  make_window_modal(GTK_WINDOW(dialog), *job);
  g_object_set_data(G_OBJECT(window), kDialogKey, dialog);
  g_signal_connect(dialog, "response", G_CALLBACK(on_print_response), job);
  g_signal_connect(dialog, "destroy", G_CALLBACK(on_print_dialog_destroy), job);
  kelo_test_autodlg_arm();
  gtk_window_present(GTK_WINDOW(dialog));
}

void do_pdf(webview_t w, std::unique_ptr<PdfReq> req) {
  WebKitWebView* view = webview_for_id(w, req->window);
  if (!view) {
    send_reply(req->id, pdf_error_json("no webview"));
    return;
  }
  std::string temp;
  if (std::string error = make_temp(req->path, temp); !error.empty()) {
    send_reply(req->id, pdf_error_json(error));
    return;
  }
  [[maybe_unused]] static const bool hooked = (kelo_on_quit(answer_pdfs_at_exit), true);
  PdfJob& job = g_pdf_jobs.emplace_back();
  job.id = req->id;
  job.path = req->path;
  job.temp = temp;
  job.view = GRef<WebKitWebView>::retain(view);
  job.op = GRef<WebKitPrintOperation>::adopt(webkit_print_operation_new(view));
  webkit_print_operation_set_print_settings(job.op.get(), pdf_settings(temp).get());
  g_signal_connect(job.op.get(), "failed", G_CALLBACK(on_pdf_failed), &job);
  g_signal_connect(job.op.get(), "finished", G_CALLBACK(on_pdf_finished), &job);
  g_signal_connect(view, "destroy", G_CALLBACK(on_pdf_view_gone), &job);
  webkit_print_operation_print(job.op.get());
}
