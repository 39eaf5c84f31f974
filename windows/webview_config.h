// What every web view of the launcher gets.
#pragma once

#include <string>

typedef struct _WebKitWebView WebKitWebView;

// Developer extras, file access for local pages, WebGPU and media devices where the engine
// offers them, the custom user agent.
void apply_webview_prefs(WebKitWebView* view);

// Loads a web address as it is, anything else as a local file (made absolute against the
// working folder).
void kelo_load_page(WebKitWebView* view, const std::string& url);

// File drops (the DROP event), the camera and microphone decision, the context menu, and the
// navigation, popup and download handling.
void kelo_apply_web_hooks(WebKitWebView* view);
