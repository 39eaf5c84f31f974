// CAPTURE: the screen's area of the root window, read on the main thread (one request to the X
// server) and written as a PNG on a worker thread.
#include <gdk/gdk.h>

#include "platform/gobj.h"
#include "services/capture_gtk.h"
#include "services/image_files_gdk.h"
#include "services/work_queue.h"
#include "windows/screens_gtk.h"

void do_capture(webview_t, std::unique_ptr<CaptureReq> req) {
  std::vector<ScreenInfo> screens = current_screens();
  if (screens.empty()) return capture_fail(req->id, kNoScreens);
  int i = screen_for_display(screens, req->display);
  if (i < 0) return capture_fail(req->id, kNoSuchDisplay);
  int ox, oy;
  wire_origin(ox, oy);
  const Rect& f = screens[i].frame;
  // Root coordinates in GDK units; the image comes in device pixels (times the scale).
  auto shot = GRef<GdkPixbuf>::adopt(gdk_pixbuf_get_from_window(
      gdk_get_default_root_window(), static_cast<int>(f.x) + ox, static_cast<int>(f.y) + oy,
      static_cast<int>(f.width), static_cast<int>(f.height)));
  if (!shot) return capture_fail(req->id, kCaptureFailed);
  image_workers().post([id = std::move(req->id), shot] { reply_with_png(id, "shot", shot.get()); });
}
