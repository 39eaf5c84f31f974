// AUTH: the user proves to be the owner of the session by typing their password, which the
// system's PAM stack checks; three tries.
#pragma once

#include <memory>
#include <string>
#include <string_view>

// AUTH id reason (unescaped).
struct AuthReq {
  std::string id;
  std::string reason;
};

std::unique_ptr<AuthReq> parse_auth(std::string_view line, size_t after);

// What the password dialog says the password is for: the reason, "authenticate" when empty;
// a reason longer than kAuthReasonBytes is cut at a character boundary and ends in "…".
constexpr size_t kAuthReasonBytes = 400;
std::string auth_reason(std::string_view reason);

// {"ok":true,"error":null} when ok, else {"ok":false,"error":E}.
std::string auth_reply(bool ok, std::string_view error = {});

// The PAM service that checks the password: its name and the folder of its configuration
// (empty: the system's). The system's "login" service checks it as the login screen does.
struct PamService {
  std::string dir;
  std::string name = "login";
};
// From the test setting KELOJS_TEST_PAM_SERVICE: a service name, or the path of a service
// file whose folder then stands for the system's configuration; unset or empty: "login".
PamService pam_service(const char* setting);

enum class PamResult { Accepted, Rejected, Unavailable };

// One answer of PAM to a typed password. Done: the reply to send and the dialog closes; else
// the user may try again.
struct AuthStep {
  bool done = false;
  std::string reply;
};
constexpr int kAuthTries = 3;
AuthStep auth_after_check(PamResult result, int& tries_left);
