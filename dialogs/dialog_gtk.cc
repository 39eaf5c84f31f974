// A dialog asked for by a page call belongs to that page's window: it sits over it, and when
// the window closes the dialog goes with it, unanswered. Other dialogs sit over the window that
// has the focus and outlive it.
#include "dialogs/dialog_gtk.h"

#include <gtk/gtk.h>

#include "bridge/bridge.h"
#include "bridge/bridge_gtk.h"
#include "dialogs/modal_gtk.h"
#include "dialogs/type_filter_gio.h"
#include "launcher/app_state.h"
#include "menus/menu_images_gtk.h"
#include "windows/registry.h"

namespace {

// One filter of the types the extensions name ("jpg" allows ".jpeg" too); null when none is
// known, and then every file can be chosen.
GtkFileFilter* type_filter(const std::vector<std::string>& extensions) {
  std::vector<std::string> types = mime_types_for(extensions);
  if (types.empty()) return nullptr;
  GtkFileFilter* filter = gtk_file_filter_new();
  for (const std::string& type : types)
    gtk_file_filter_add_mime_type(filter, type.c_str());
  std::string name;
  for (const std::string& ext : extensions)
    name += (name.empty() ? "" : ", ") + ext;
  gtk_file_filter_set_name(filter, valid_utf8(name).c_str());
  return filter;
}

}  // namespace

void do_dialog(webview_t w, std::unique_ptr<DlgReq> req) {
  DlgKind kind = dlg_kind(req->kind);
  ReplyTarget target = parse_reply_target(req->callref);
  GtkWindow* page = target.kind == ReplyTarget::Kind::Page ? window_for_id(w, target.id) : nullptr;
  if (target.kind == ReplyTarget::Kind::Page && !page) return;  // its window has gone already
  DialogPlace place{page ? page : window_for_id(w, key_window_id()), page != nullptr};
  DialogDone done = [callref = req->callref, kind](std::optional<DialogResult> result) {
    if (result) reply_to_call(callref, 0, dlg_answer(kind, result->confirmed, result->values));
  };
  if (kind == DlgKind::Alert || kind == DlgKind::Confirm || kind == DlgKind::Prompt) {
    show_alert(dlg_alert_spec(*req, g_app_name), place, std::move(done));
  } else {
    ChooserSpec spec = dlg_chooser_spec(*req);
    show_chooser(spec, type_filter(spec.extensions), place, std::move(done));
  }
}
