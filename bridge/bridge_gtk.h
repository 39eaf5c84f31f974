// The page bridge on WebKitGTK.
#pragma once

#include <memory>
#include <string>

#include "wire/main_queue.h"
#include "wire/requests.h"

typedef struct _WebKitWebView WebKitWebView;

// Points the web processes at the launcher's web process extension (a folder "webext" beside
// the executable). Call before the first web view exists.
void kelo_bridge_init(const std::string& exe_dir);

// Installs the bridge of one web view: the page scripts (bootstrap, client script, inject
// script) and the handler that turns page messages into CALL lines.
void attach_kelo_bridge(WebKitWebView* view, const std::string& win_id);

// Settles a page call, or completes a backend request for the "q" form.
void reply_to_call(const std::string& call_id, int status, const std::string& json);

void do_reply(webview_t w, std::unique_ptr<ReplyReq> req);
void do_eval_win(webview_t w, std::unique_ptr<EvalReq> req);
