// Which application a process is, as the desktop names it.
#pragma once

#include <string>
#include <vector>

#include "system/desktop_facts.h"

// The desktop entry whose StartupWMClass or id matches one of the window classes, or whose
// program is the process's executable: its name and desktop id ("org.example.Editor").
// Otherwise the process name and an empty id. The launcher itself is the app's name and
// bundle id.
AppIdentity app_for_pid(long pid, const std::vector<std::string>& wm_classes);
