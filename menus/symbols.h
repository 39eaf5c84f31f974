// System symbol names ("sf:gear") as icon names of the desktop's icon theme.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// The icon names to try for a symbol, best first: the symbol as given, then the freedesktop
// names of the common symbols it names (without a ".fill", ".circle" or ".square" variant
// suffix). With symbolic, each name's "-symbolic" form comes before it.
std::vector<std::string> symbol_icon_names(std::string_view symbol, bool symbolic);
