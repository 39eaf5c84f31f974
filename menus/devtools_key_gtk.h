// The inspector key of debug mode.
#pragma once

typedef struct _WebKitWebView WebKitWebView;

// In debug mode, F12 without modifiers opens the web inspector of the focused window, before
// the page sees the key. Once for every web view.
void kelo_install_devtools_key(WebKitWebView* view);
