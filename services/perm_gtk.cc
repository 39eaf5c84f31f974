// PERMCHK and PERMREQ. Outside a sandbox the desktop gates few things: accessibility is the
// XTest extension, screen recording is reading the root window, the camera and the microphone
// are there when such a device exists; notifications need a server that answers; location
// asks GeoClue2.
#include <X11/Xlib.h>
#include <gdk/gdkx.h>
#include <gtk/gtk.h>

#include "services/desktop_services_gtk.h"
#include "services/devices.h"
#include "wire/link.h"

namespace {

bool xtest_present() {
  GdkDisplay* display = gdk_display_get_default();
  if (!display || !GDK_IS_X11_DISPLAY(display)) return false;
  int opcode = 0, event = 0, error = 0;
  return XQueryExtension(GDK_DISPLAY_XDISPLAY(display), "XTEST", &opcode, &event, &error);
}

bool root_readable() {
  GdkWindow* root = gdk_get_default_root_window();
  GdkPixbuf* pixel = root ? gdk_pixbuf_get_from_window(root, 0, 0, 1, 1) : nullptr;
  if (!pixel) return false;
  g_object_unref(pixel);
  return true;
}

PermStatus granted_if(bool yes) {
  return yes ? PermStatus::Granted : PermStatus::Denied;
}

}  // namespace

void do_perm(webview_t, std::unique_ptr<PermReq> req) {
  auto reply = [id = req->id](PermStatus status) { send_reply(id, perm_reply(status)); };
  switch (perm_kind(req->kind)) {
    case PermKind::Accessibility:
      reply(granted_if(xtest_present()));
      break;
    case PermKind::Screen:
      reply(granted_if(root_readable()));
      break;
    case PermKind::Notifications:
      notify_server_answers([reply](bool answers) { reply(granted_if(answers)); });
      break;
    case PermKind::Camera:
      reply(granted_if(has_camera()));
      break;
    case PermKind::Microphone:
      find_microphone([reply](bool found) { reply(granted_if(found)); });
      break;
    case PermKind::Location:
      location_query(req->id, req->ask);
      break;
    case PermKind::Other:
      reply(PermStatus::Unsupported);
      break;
  }
}
