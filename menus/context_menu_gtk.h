// The backend's context menu in every web view: WebKit fills its own menu first, then the
// backend's model replaces it, suppression leaves none, or the standard menu stays.
#pragma once

#include <memory>

#include "menus/menu_spec.h"
#include "wire/main_queue.h"

typedef struct _WebKitWebView WebKitWebView;

// Once for every web view.
void kelo_install_ctx_hook(WebKitWebView* view);

// CTXEND and CTXCLEAR.
void do_ctx(webview_t w, std::unique_ptr<CtxReq> req);
// CTXSUPPRESS.
void do_ctx_suppress(webview_t w, std::unique_ptr<bool> on);
// Context menus are suppressed (alerts then keep their texts from being selected).
bool ctx_suppressed();
