// Handlers of the desktop-service commands: notifications, permissions, shell, login item,
// power, sound and share.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "services/login.h"
#include "services/notify.h"
#include "services/perm.h"
#include "services/power.h"
#include "services/share.h"
#include "services/shell.h"
#include "services/sound.h"
#include "wire/main_queue.h"

void do_notify(webview_t w, std::unique_ptr<NotifReq> req);
void do_perm(webview_t w, std::unique_ptr<PermReq> req);
void do_shell(webview_t w, std::unique_ptr<ShellReq> req);
void do_login(webview_t w, std::unique_ptr<LoginReq> req);
void do_power(webview_t w, std::unique_ptr<PowerReq> req);
void do_sound(webview_t w, std::unique_ptr<SoundReq> req);
void do_share(webview_t w, std::unique_ptr<ShareReq> req);

// Between the glue files of the services.

// Whether a notification server answers on the session bus, told to done on the main loop.
void notify_server_answers(std::function<void(bool)> done);
// The launcher's dialog that asks for the text of a reply to a notification.
void show_reply_dialog(const ReplyPrompt& prompt);
// The app's name as the desktop shows it.
std::string service_app_name();
// The location permission of PERMCHK (ask false) and PERMREQ (ask true).
void location_query(const std::string& id, bool ask);
