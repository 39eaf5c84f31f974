// Global hot keys as X key grabs on the root window, and keystrokes typed through XTest.
#pragma once

#include <memory>

#include "menus/hotkeys.h"
#include "wire/main_queue.h"

// HKREG and HKUNREG.
void do_hotkey(webview_t w, std::unique_ptr<HotkeyReq> req);
// KEYSTROKE: the combination, typed once into whatever has the keyboard focus.
void do_keystroke(webview_t w, std::unique_ptr<KeystrokeReq> req);
