// GET answers from services of the system bus: the power supply (UPower), Wi-Fi
// (NetworkManager) and the system locale (localed). Each is read on a worker thread, bounded
// in time, and answered from there.
#pragma once

#include "system/get_answer.h"

void answer_battery(GetAnswer answer);
void answer_wifi(GetAnswer answer);
void answer_locale(GetAnswer answer);
