// The page's own dialogs: alert, confirm, prompt, the before-unload question and the file
// input's picker, answered by the launcher without the backend.
#pragma once

typedef struct _WebKitWebView WebKitWebView;

// Once for every web view.
void kelo_install_page_dialogs(WebKitWebView* view);
