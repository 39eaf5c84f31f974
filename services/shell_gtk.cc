// SHELL: open through the desktop's default handlers, reveal in the file manager, move to the
// trash. Every answer comes from the operation's own callback.
#include <gio/gio.h>
#include <gtk/gtk.h>

#include <string>

#include "platform/gobj.h"
#include "services/bus_gio.h"
#include "services/desktop_services_gtk.h"
#include "wire/link.h"

namespace {

constexpr const char* kNoHandler = "no application registered for URL";
constexpr const char* kOpenFailed = "open failed";
constexpr const char* kNoSuchFile = "no such file";

using Reply = std::function<void(const std::string& error)>;

GRef<GAppLaunchContext> launch_context() {
  GdkDisplay* display = gdk_display_get_default();
  if (!display) return {};
  return GRef<GAppLaunchContext>::adopt(
      G_APP_LAUNCH_CONTEXT(gdk_display_get_app_launch_context(display)));
}

// Opens a URI with the desktop's default handler; reply gets failure_text when that fails.
void launch_default(const std::string& uri, const char* failure_text, Reply reply) {
  struct Launch {
    Reply reply;
    const char* failure;
  };
  auto context = launch_context();
  g_app_info_launch_default_for_uri_async(
      uri.c_str(), context.get(), nullptr,
      [](GObject*, GAsyncResult* result, gpointer data) {
        std::unique_ptr<Launch> launch(static_cast<Launch*>(data));
        GError* error = nullptr;
        bool ok = g_app_info_launch_default_for_uri_finish(result, &error);
        if (error) g_error_free(error);
        launch->reply(ok ? "" : launch->failure);
      },
      new Launch{std::move(reply), failure_text});
}

std::string file_uri(const std::string& path) {
  auto file = GRef<GFile>::adopt(g_file_new_for_path(path.c_str()));
  GCharPtr uri(g_file_get_uri(file.get()));
  return uri.get();
}

bool exists(const std::string& path) {
  return g_file_test(path.c_str(), G_FILE_TEST_EXISTS);
}

// The file manager shows the item selected; without one, the folder holding it opens.
void reveal(const std::string& path, Reply reply) {
  BusCall call{G_BUS_TYPE_SESSION,
               "org.freedesktop.FileManager1",
               "/org/freedesktop/FileManager1",
               "org.freedesktop.FileManager1",
               "ShowItems",
               ""};
  const char* uris[] = {nullptr, nullptr};
  std::string uri = file_uri(path);
  uris[0] = uri.c_str();
  bus_call(call, g_variant_new("(^ass)", uris, ""),
           [path, reply](GVariant* answer, GUnixFDList*, const std::string&) {
             if (answer) {
               reply("");
               return;
             }
             auto file = GRef<GFile>::adopt(g_file_new_for_path(path.c_str()));
             auto parent = GRef<GFile>::adopt(g_file_get_parent(file.get()));
             GCharPtr folder(g_file_get_uri(parent ? parent.get() : file.get()));
             launch_default(folder.get(), kOpenFailed, reply);
           });
}

void trash(const std::string& path, Reply reply) {
  auto file = GRef<GFile>::adopt(g_file_new_for_path(path.c_str()));
  g_file_trash_async(
      file.get(), G_PRIORITY_DEFAULT, nullptr,
      [](GObject* source, GAsyncResult* result, gpointer data) {
        std::unique_ptr<Reply> reply(static_cast<Reply*>(data));
        GError* error = nullptr;
        if (g_file_trash_finish(G_FILE(source), result, &error)) {
          (*reply)("");
          return;
        }
        std::string message = error && error->message[0] ? error->message : "trash failed";
        if (error) g_error_free(error);
        (*reply)(message);
      },
      new Reply(std::move(reply)));
}

}  // namespace

void do_shell(webview_t, std::unique_ptr<ShellReq> req) {
  Reply reply = [id = req->id](const std::string& error) { send_reply(id, shell_reply(error)); };
  const std::string& op = req->op;
  if (op != "open" && op != "reveal" && op != "trash") {
    reply("unknown shell op");
    return;
  }
  ShellTarget target = shell_target(req->target, g_get_home_dir(), op == "open");
  if (target.url) {
    launch_default(target.text, kNoHandler, reply);
  } else if (op == "trash") {
    trash(target.text, reply);
  } else if (!exists(target.text)) {
    reply(kNoSuchFile);
  } else if (op == "open") {
    launch_default(file_uri(target.text), kOpenFailed, reply);
  } else {
    reveal(target.text, reply);
  }
}
