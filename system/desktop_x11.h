// GET answers read from the X server and the window manager (EWMH): the frontmost
// application, other applications' windows, the screen in front, input idle time.
#pragma once

#include <string>

#include "system/desktop_facts.h"

std::string frontmost_answer();
// Null unless the launcher is trusted to control other applications (has_xtest).
std::string other_windows_answer();
std::string fgscreen_answer();
// Null without the XScreenSaver extension.
std::string idle_answer();

// The application owning a selection ("CLIPBOARD", "PRIMARY"), by its owner window's process;
// else the frontmost application. {"name":..,"bundleId":..}
std::string selection_owner_app(const char* selection);
