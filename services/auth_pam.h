// Password checks through PAM. Both calls block (PAM modules may wait, on purpose, after a
// wrong password): run them on a worker thread.
#pragma once

#include <string>

#include "services/auth.h"

// Whether PAM can start a conversation with the service for the user.
bool pam_can_start(const PamService& service, const std::string& user);

// Checks the user's password with the service (authentication, then the account's validity).
PamResult pam_check_password(const PamService& service, const std::string& user,
                             const std::string& password);
