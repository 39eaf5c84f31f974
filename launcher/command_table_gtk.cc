// The command table: which handler decides each command. The one place that knows every
// subsystem.
#include "ai/ai_queue.h"
#include "bridge/bridge_gtk.h"
#include "dialogs/find_gtk.h"
#include "launcher/core_commands.h"
#include "system/clipboard_gtk.h"
#include "system/dragout_gtk.h"
#include "system/get_gtk.h"
#include "windows/chrome_gtk.h"
#include "windows/nav_gtk.h"
#include "windows/pointer_moves_gtk.h"
#include "windows/registry.h"
#include "windows/winctrl.h"
#include "windows/winop_gtk.h"

const Handlers& launcher_handlers() {
  static const Handlers handlers = [] {
    Handlers h;
    h.reply = do_reply;
    h.eval_win = do_eval_win;
    h.title = do_title;
    h.title_win = do_title_win;
    h.size = do_size;
    h.winopen = do_winopen;
    h.winclose = do_winclose;
    h.winop = do_winop;
    h.dragwin = do_dragwin;
    h.resizewin = do_resizewin;
    h.winctrl = do_winctrl;
    h.chrome = do_chrome;
    h.get = do_get;
    h.navr = do_navr;
    h.popupr = do_popupr;
    h.reload = do_reload;
    h.terminate = do_terminate;
    h.add(Verb::Find, route<parse_find, do_find>);
    h.add(Verb::StopFind, route<parse_stopfind, do_stopfind>);
    h.add(Verb::Ai, route<parse_ai, do_ai>);
    h.add(Verb::AiToolResult, ai_tool_result);
    h.add(Verb::ClipWrite, route<parse_clip_write, do_clip_write>);
    h.add(Verb::ClipWatch, route<parse_clip_watch, do_clip_watch>);
    h.add(Verb::DragOut, route<parse_dragout, do_dragout>);
    return h;
  }();
  return handlers;
}
