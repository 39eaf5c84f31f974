// The command table: which handler decides each command. The one place that knows every
// subsystem.
#include "ai/ai_queue.h"
#include "audio/audio_gtk.h"
#include "bridge/bridge_gtk.h"
#include "dialogs/dialog_gtk.h"
#include "dialogs/find_gtk.h"
#include "launcher/core_commands.h"
#include "menus/context_menu_gtk.h"
#include "menus/hotkeys_x11.h"
#include "menus/menu_bar_gtk.h"
#include "menus/menu_blocks.h"
#include "menus/tray_dbus.h"
#include "services/auth_gtk.h"
#include "services/capture_gtk.h"
#include "services/cookies_gtk.h"
#include "services/desktop_services_gtk.h"
#include "services/dock.h"
#include "services/dock_gtk.h"
#include "services/nowplaying_dbus.h"
#include "services/osa.h"
#include "services/pickcolor.h"
#include "services/print_gtk.h"
#include "services/secret_dbus.h"
#include "services/speech_spd.h"
#include "services/spotlight_tracker.h"
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
    h.add(Verb::Dlg, route<parse_dlg, do_dialog>);
    h.add(Verb::Find, route<parse_find, do_find>);
    h.add(Verb::HkReg, route<parse_hkreg, do_hotkey>);
    h.add(Verb::HkUnreg, route<parse_hkunreg, do_hotkey>);
    h.add(Verb::Keystroke, route<parse_keystroke, do_keystroke>);
    h.add(Verb::StopFind, route<parse_stopfind, do_stopfind>);
    h.add(Verb::Ai, route<parse_ai, do_ai>);
    h.add(Verb::AiToolResult, ai_tool_result);
    h.add(Verb::Capture, route<parse_capture, do_capture>);
    h.add(Verb::Record, route<parse_record, do_record>);
    h.add(Verb::Ocr, route<parse_ocr, do_ocr>);
    h.add(Verb::Thumb, route<parse_thumb, do_thumb>);
    h.add(Verb::PickColor, route<parse_pickcolor, do_pickcolor>);
    h.add(Verb::QuickLook, route<parse_quicklook, do_quicklook>);
    h.add(Verb::Notify, route<parse_notify, do_notify>);
    h.add(Verb::PermChk, route<parse_perm, do_perm>);
    h.add(Verb::PermReq, route<parse_perm, do_perm>);
    h.add(Verb::Shell, route<parse_shell, do_shell>);
    h.add(Verb::Login, route<parse_login, do_login>);
    h.add(Verb::Power, route<parse_power, do_power>);
    h.add(Verb::Sound, route<parse_sound, do_sound>);
    h.add(Verb::Share, route<parse_share, do_share>);
    h.add(Verb::Say, route<parse_say, do_say>);
    h.add(Verb::SayStop, route<parse_saystop, do_saystop>);
    h.add(Verb::Voices, route<parse_voices, do_voices>);
    h.add(Verb::NowPlaying, route<parse_nowplaying, do_nowplaying>);
    h.add(Verb::Secret, route<parse_secret, do_secret>);
    h.add(Verb::Auth, route<parse_auth, do_auth>);
    h.add(Verb::Osa, route<parse_osa, do_osa>);
    h.add(Verb::Cookies, route<parse_cookies, do_cookies>);
    h.add(Verb::Spotlight, route<parse_spotlight, do_spotlight>);
    h.add(Verb::AudioTapStop, route<parse_audiotap_stop, do_audiotap>);
    h.add(Verb::AudioTap, route<parse_audiotap, do_audiotap>);
    h.add(Verb::AudioFilterSet, route<parse_audiofilterset, do_audiofilterset>);
    h.add(Verb::AudioFilters, route<parse_audiofilters, do_audiofilters>);
    h.add(Verb::AudioBalance, route<parse_audiobalance, do_audiobalance>);
    h.add(Verb::ClipWrite, route<parse_clip_write, do_clip_write>);
    h.add(Verb::ClipWatch, route<parse_clip_watch, do_clip_watch>);
    h.add(Verb::DragOut, route<parse_dragout, do_dragout>);
    h.blocks = [] { return make_block_reader(MenuSinks{do_menu_bar, do_tray, do_ctx}); };
    h.add(Verb::MenuReset, route<parse_menu_reset, do_menu_bar>);
    h.add(Verb::MenuUpd, route<parse_menu_update, do_menu_update>);
    h.add(Verb::CtxClear, route<parse_ctx_clear, do_ctx>);
    h.add(Verb::CtxSuppress, route<parse_ctx_suppress, do_ctx_suppress>);
    h.add(Verb::TrayRemove, route<parse_tray_remove, do_tray>);
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
