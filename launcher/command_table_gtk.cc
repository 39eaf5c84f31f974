// The command table: which handler decides each command. The one place that knows every
// subsystem.
#include "bridge/bridge_gtk.h"
#include "launcher/core_commands.h"
#include "services/dock.h"
#include "services/dock_gtk.h"
#include "services/print_gtk.h"
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
    h.add(Verb::Badge, route<parse_text_arg, do_badge>);
    h.add(Verb::Attention, route<parse_attention, do_attention>);
    h.add(Verb::Progress, route<parse_progress, do_progress>);
    h.add(Verb::AppIcon, route<parse_text_arg, do_appicon>);
    h.add(Verb::Print, route<parse_print, do_print>);
    h.add(Verb::PrintAt, route<parse_print, do_print>);
    h.add(Verb::Pdf, route<parse_pdf, do_pdf>);
    h.add(Verb::PdfAt, route<parse_pdf, do_pdf>);
    return h;
  }();
  return handlers;
}
