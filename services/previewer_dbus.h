// GNOME's file previewer on the session bus (org.gnome.NautilusPreviewer), when one is there.
#pragma once

#include <functional>
#include <string>

// Shows one file (a URI) for the window with the given handle; shown(false) when no previewer
// answers.
void previewer_show(const std::string& uri, const std::string& parent,
                    std::function<void(bool shown)> shown);
void previewer_close();
// Called with -1 (previous) or +1 (next) when the user moves in the previewer.
void previewer_on_move(std::function<void(int step)> on_move);
