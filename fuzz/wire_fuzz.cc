// Feeds arbitrary bytes through the framer and the dispatcher; handlers are real record
// consumers that touch every field.
#include <cstddef>
#include <cstdint>
#include <deque>

#include "ai/ai_request.h"
#include "audio/eq_control.h"
#include "audio/tap.h"
#include "dialogs/dialog.h"
#include "dialogs/find.h"
#include "menus/hotkeys.h"
#include "menus/menu_blocks.h"
#include "menus/menu_state.h"
#include "services/auth.h"
#include "services/capture.h"
#include "services/cookies.h"
#include "services/dock.h"
#include "services/login.h"
#include "services/notify.h"
#include "services/nowplaying.h"
#include "services/ocr.h"
#include "services/osa.h"
#include "services/perm.h"
#include "services/pickcolor.h"
#include "services/power.h"
#include "services/print.h"
#include "services/quicklook.h"
#include "services/record.h"
#include "services/secret.h"
#include "services/share.h"
#include "services/shell.h"
#include "services/sound.h"
#include "services/speech.h"
#include "services/spotlight.h"
#include "services/thumb.h"
#include "system/clipboard.h"
#include "wire/dispatcher.h"
#include "wire/framer.h"

namespace {

class InlineQueue final : public MainQueue {
 public:
  void post(TaskPtr task) override { task->run(); }
};

size_t g_sink = 0;

// The handler end of a family's route: the record is built and destroyed.
template <class R>
void consume(webview_t, std::unique_ptr<R> r) {
  g_sink += reinterpret_cast<uintptr_t>(r.get()) & 1;
}

// Menu blocks are laid out, bound to keys and updated as the main thread would.
MenuState& fuzz_menus() {
  static MenuState state;
  return state;
}

void lay_out_menus(webview_t, std::unique_ptr<MenuBarReq> r) {
  MenuState& state = fuzz_menus();
  if (r->reset) {
    state.drop_window_menus(r->win);
  } else {
    state.set_window_menus(r->win, std::move(r->menus));
  }
  g_sink += bar_accelerators(state.bar_for(r->win).layout).size();
}

void update_menus(webview_t, std::unique_ptr<MenuUpdReq> r) {
  g_sink += fuzz_menus().update(*r).size() + fuzz_menus().item_json(r->id, false).size();
}

// The actions JSON of a notification is read as the notification centre reads it.
void consume_notify(webview_t, std::unique_ptr<NotifReq> r) {
  g_sink += parse_notif_actions(r->actions).size();
}

// NOWPLAYING's JSON is read by its handler: read it and publish it as the handler does.
void publish_now_playing(webview_t, std::unique_ptr<NowPlayingReq> r) {
  static MediaPlayer player;
  player.publish(now_playing_info(r->json), static_cast<int64_t>(g_sink));
  g_sink += player.track_id().size() + static_cast<size_t>(player.position(0) & 1);
}

// The cookie arguments are cut by the handler: cut them here too.
void consume_cookies(webview_t, std::unique_ptr<CookieReq> r) {
  CookieCommand cmd = cookie_command(r->rest);
  if (auto c = cookie_to_set(cmd.args)) g_sink += cookie_json(*c).size();
}

// CLIPWRITE's fields through the decoders the handler uses (files are not read here).
void decode_clip_fields(webview_t, std::unique_ptr<ClipWriteReq> r) {
  if (!r->image.starts_with("/") && !r->image.starts_with("~"))
    g_sink += decode_image_field(r->image, "").value_or("").size();
  g_sink += parse_hex_colour(r->colour).has_value() + paths_from_uri_list(r->text).size();
}

const Handlers& fuzz_handlers() {
  static const Handlers h = [] {
    Handlers x;
    x.reply = [](webview_t, std::unique_ptr<ReplyReq> r) {
      g_sink += r->call_id.size() + r->json.size() + static_cast<size_t>(r->status & 1);
    };
    x.eval_win = [](webview_t, std::unique_ptr<EvalReq> r) {
      g_sink += r->win.size() + r->text.size();
    };
    x.title_win = x.eval_win;
    x.title = [](webview_t, std::unique_ptr<std::string> t) { g_sink += t->size(); };
    x.size = [](webview_t, std::unique_ptr<SizeReq> r) {
      g_sink +=
          r->win.size() + static_cast<size_t>(r->width & 1) + static_cast<size_t>(r->height & 1);
    };
    x.navr = [](webview_t, std::unique_ptr<NavrReq> r) {
      g_sink += r->qid.size() + r->answer.size();
    };
    x.popupr = x.navr;
    x.reload = [](webview_t, std::unique_ptr<NoArgs>) { ++g_sink; };
    x.terminate = x.reload;
    x.get = [](webview_t, std::unique_ptr<GetReq> r) { g_sink += r->id.size() + r->key.size(); };
    // Families with parsers of their own: x.add(Verb::V, route<parse_v, consume<VReq>>);
    x.add(Verb::Dlg, route<parse_dlg, consume<DlgReq>>);
    x.add(Verb::Find, route<parse_find, consume<FindReq>>);
    x.add(Verb::HkReg, route<parse_hkreg, consume<HotkeyReq>>);
    x.add(Verb::HkUnreg, route<parse_hkunreg, consume<HotkeyReq>>);
    x.add(Verb::Keystroke, route<parse_keystroke, consume<KeystrokeReq>>);
    x.add(Verb::StopFind, route<parse_stopfind, consume<std::string>>);
    x.add(Verb::Ai, route<parse_ai, consume<AiReq>>);
    x.add(Verb::AiToolResult, [](std::string_view line, size_t after) {
      if (auto r = parse_tool_result(line, after)) g_sink += r->text.size();
    });
    x.add(Verb::Capture, route<parse_capture, consume<CaptureReq>>);
    x.add(Verb::Record, route<parse_record, consume<RecordReq>>);
    x.add(Verb::Ocr, route<parse_ocr, consume<OcrReq>>);
    x.add(Verb::Thumb, route<parse_thumb, consume<ThumbReq>>);
    x.add(Verb::PickColor, route<parse_pickcolor, consume<std::string>>);
    x.add(Verb::QuickLook, route<parse_quicklook, consume<QLReq>>);
    x.add(Verb::Notify, route<parse_notify, consume_notify>);
    x.add(Verb::PermChk, route<parse_perm, consume<PermReq>>);
    x.add(Verb::PermReq, route<parse_perm, consume<PermReq>>);
    x.add(Verb::Shell, route<parse_shell, consume<ShellReq>>);
    x.add(Verb::Login, route<parse_login, consume<LoginReq>>);
    x.add(Verb::Power, route<parse_power, consume<PowerReq>>);
    x.add(Verb::Sound, route<parse_sound, consume<SoundReq>>);
    x.add(Verb::Share, route<parse_share, consume<ShareReq>>);
    x.add(Verb::Say, route<parse_say, consume<SayReq>>);
    x.add(Verb::SayStop, route<parse_saystop, consume<NoArgs>>);
    x.add(Verb::Voices, route<parse_voices, consume<VoicesReq>>);
    x.add(Verb::NowPlaying, route<parse_nowplaying, publish_now_playing>);
    x.add(Verb::Secret, route<parse_secret, consume<SecretReq>>);
    x.add(Verb::Auth, route<parse_auth, consume<AuthReq>>);
    x.add(Verb::Osa, route<parse_osa, consume<OsaReq>>);
    x.add(Verb::Cookies, route<parse_cookies, consume_cookies>);
    x.add(Verb::Spotlight, route<parse_spotlight, consume<SpotlightReq>>);
    x.add(Verb::AudioTapStop, route<parse_audiotap_stop, consume<AudioTapReq>>);
    x.add(Verb::AudioTap, route<parse_audiotap, consume<AudioTapReq>>);
    x.add(Verb::AudioFilterSet, route<parse_audiofilterset, consume<AudioFilterSetReq>>);
    x.add(Verb::AudioFilters, route<parse_audiofilters, consume<AudioFiltersReq>>);
    x.add(Verb::AudioBalance, route<parse_audiobalance, consume<double>>);
    x.add(Verb::ClipWrite, route<parse_clip_write, decode_clip_fields>);
    x.add(Verb::ClipWatch, route<parse_clip_watch, consume<int>>);
    x.add(Verb::DragOut, route<parse_dragout, consume<DragOutReq>>);
    x.blocks = [] {
      return make_block_reader(MenuSinks{lay_out_menus, consume<TraySpec>, consume<CtxReq>});
    };
    x.add(Verb::MenuReset, route<parse_menu_reset, lay_out_menus>);
    x.add(Verb::MenuUpd, route<parse_menu_update, update_menus>);
    x.add(Verb::CtxClear, route<parse_ctx_clear, consume<CtxReq>>);
    x.add(Verb::CtxSuppress, route<parse_ctx_suppress, consume<bool>>);
    x.add(Verb::TrayRemove, route<parse_tray_remove, consume<TraySpec>>);
    x.add(Verb::Badge, route<parse_text_arg, consume<std::string>>);
    x.add(Verb::Attention, route<parse_attention, consume<int>>);
    x.add(Verb::Progress, route<parse_progress, consume<double>>);
    x.add(Verb::AppIcon, route<parse_text_arg, consume<std::string>>);
    x.add(Verb::Print, route<parse_print, consume<std::string>>);
    x.add(Verb::PrintAt, route<parse_print, consume<std::string>>);
    x.add(Verb::Pdf, route<parse_pdf, consume<PdfReq>>);
    x.add(Verb::PdfAt, route<parse_pdf, consume<PdfReq>>);
    return x;
  }();
  return h;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static InlineQueue queue;
  g_main_queue = &queue;
  fuzz_menus() = MenuState();  // every input starts without menus
  Dispatcher dispatcher(fuzz_handlers());
  LineFramer framer;
  // Split the input in two reads at a data-dependent point to exercise partial lines.
  size_t cut = size ? data[0] % (size + 1) : 0;
  auto on_line = [&](std::string_view line) { dispatcher.decode(line); };
  framer.feed(reinterpret_cast<const char*>(data), cut, on_line);
  framer.feed(reinterpret_cast<const char*>(data) + cut, size - cut, on_line);
  return 0;
}
