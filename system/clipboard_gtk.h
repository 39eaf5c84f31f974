// The clipboard on X11: reading (GET "clipboard", "selectedtext"), CLIPWRITE, CLIPWATCH.
#pragma once

#include <memory>
#include <string>

#include "system/clipboard.h"
#include "system/get_answer.h"
#include "wire/main_queue.h"

// Counts the clipboard's changes from now on (owner changes the X server reports).
void install_clipboard_observer();
// Hands what the launcher put on the clipboard to a clipboard manager, where one runs, so it
// stays after the launcher ends.
void store_clipboard_at_exit();

std::string clipboard_count_answer();
// Every representation of the clipboard; a read the owner does not serve in time gives the
// fields it has by then.
void answer_clipboard(GetAnswer answer);
// The text of the PRIMARY selection (what is selected in any application), or null.
void answer_selected_text(GetAnswer answer);

void do_clip_write(webview_t w, std::unique_ptr<ClipWriteReq> req);
void do_clip_watch(webview_t w, std::unique_ptr<int> period_ms);
