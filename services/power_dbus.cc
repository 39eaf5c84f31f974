// POWER: one assertion at a time. Keeping the machine awake is a logind inhibitor
// ("sleep:idle", blocking) whose descriptor is held; keeping the display on adds the screen
// saver's inhibition on the session bus. Requests are taken one after the other, so an on/off
// storm never leaves two assertions behind; the process's end closes the descriptor and the
// session connection, which ends both.
#include <gio/gio.h>
#include <gio/gunixfdlist.h>
#include <unistd.h>

#include <deque>
#include <optional>

#include "services/bus_gio.h"
#include "services/desktop_services_gtk.h"
#include "wire/link.h"

namespace {

struct Held {
  int fd = -1;                     // the logind inhibitor
  std::optional<uint32_t> cookie;  // the screen saver's inhibition
  bool active() const { return fd >= 0; }
};

Held g_held;
std::deque<std::unique_ptr<PowerReq>> g_queue;
bool g_busy = false;
bool g_pumping = false;

BusCall screen_saver(const char* method, const char* reply_type) {
  return {G_BUS_TYPE_SESSION,
          "org.freedesktop.ScreenSaver",
          "/org/freedesktop/ScreenSaver",
          "org.freedesktop.ScreenSaver",
          method,
          reply_type};
}

void release() {
  if (g_held.fd >= 0) close(g_held.fd);
  if (g_held.cookie) {
    bus_call(screen_saver("UnInhibit", ""), g_variant_new("(u)", *g_held.cookie),
             [](GVariant*, GUnixFDList*, const std::string&) {});
  }
  g_held = {};
}

void pump();

void finish(const std::string& id, bool ok) {
  send_reply(id, power_reply(ok, g_held.active()));
  g_busy = false;
  pump();
}

void inhibit_display(const std::string& id, const std::string& reason, int fd) {
  bus_call(screen_saver("Inhibit", "(u)"),
           g_variant_new("(ss)", service_app_name().c_str(), reason.c_str()),
           [id, fd](GVariant* reply, GUnixFDList*, const std::string&) {
             if (!reply) {
               close(fd);
               finish(id, false);
               return;
             }
             guint32 cookie = 0;
             g_variant_get(reply, "(u)", &cookie);
             g_held = {fd, cookie};
             finish(id, true);
           });
}

void inhibit(std::unique_ptr<PowerReq> req) {
  BusCall call{G_BUS_TYPE_SYSTEM,
               "org.freedesktop.login1",
               "/org/freedesktop/login1",
               "org.freedesktop.login1.Manager",
               "Inhibit",
               "(h)"};
  std::string reason = power_reason(req->reason);
  bus_call(
      call,
      g_variant_new("(ssss)", "sleep:idle", service_app_name().c_str(), reason.c_str(), "block"),
      [id = req->id, display = req->display, reason](GVariant* reply, GUnixFDList* fds,
                                                     const std::string&) {
        gint32 index = -1;
        if (reply) g_variant_get(reply, "(h)", &index);
        int fd = fds && index >= 0 ? g_unix_fd_list_get(fds, index, nullptr) : -1;
        if (fd < 0) {
          finish(id, false);
        } else if (display) {
          inhibit_display(id, reason, fd);
        } else {
          g_held.fd = fd;
          finish(id, true);
        }
      });
}

void pump() {
  if (g_pumping) return;
  g_pumping = true;
  while (!g_busy && !g_queue.empty()) {
    std::unique_ptr<PowerReq> req = std::move(g_queue.front());
    g_queue.pop_front();
    g_busy = true;
    release();
    if (req->on) {
      inhibit(std::move(req));
    } else {
      finish(req->id, true);
    }
  }
  g_pumping = false;
}

}  // namespace

void do_power(webview_t, std::unique_ptr<PowerReq> req) {
  g_queue.push_back(std::move(req));
  pump();
}
