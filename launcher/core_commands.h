// Handlers of the launcher's own commands: TITLE, SIZE, RELOAD and QUIT.
#pragma once

#include <memory>
#include <string>

#include "wire/dispatcher.h"

void do_title(webview_t w, std::unique_ptr<std::string> title);
void do_title_win(webview_t w, std::unique_ptr<EvalReq> req);
void do_size(webview_t w, std::unique_ptr<SizeReq> req);
void do_reload(webview_t w, std::unique_ptr<NoArgs> req);
// Stops the main event loop; the process then cleans up and exits with status 0.
void do_terminate(webview_t w, std::unique_ptr<NoArgs> req);

// The command table of the launcher.
const Handlers& launcher_handlers();
