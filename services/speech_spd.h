// SAY, SAYSTOP and VOICES through the desktop's speech service (speech-dispatcher).
#pragma once

#include <memory>

#include "services/speech.h"

void do_say(webview_t w, std::unique_ptr<SayReq> req);
void do_saystop(webview_t w, std::unique_ptr<NoArgs> req);
void do_voices(webview_t w, std::unique_ptr<VoicesReq> req);
