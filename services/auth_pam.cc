#include "services/auth_pam.h"

#include <security/pam_appl.h>

#include <cstdlib>
#include <cstring>

namespace {

struct Conversation {
  const std::string* user = nullptr;
  const std::string* password = nullptr;
  bool password_given = false;
};

// Answers the password prompt once and a visible prompt with the user name; messages are
// dropped. A second password prompt (a second factor) cannot be answered.
int converse(int count, const pam_message** messages, pam_response** responses, void* data) {
  auto* conv = static_cast<Conversation*>(data);
  auto* answers = static_cast<pam_response*>(std::calloc(count, sizeof(pam_response)));
  if (!answers) return PAM_BUF_ERR;
  for (int i = 0; i < count; ++i) {
    const std::string* text = nullptr;
    if (messages[i]->msg_style == PAM_PROMPT_ECHO_OFF && !conv->password_given) {
      text = conv->password;
      conv->password_given = true;
    } else if (messages[i]->msg_style == PAM_PROMPT_ECHO_ON) {
      text = conv->user;
    } else if (messages[i]->msg_style == PAM_PROMPT_ECHO_OFF) {
      for (int j = 0; j < i; ++j) {
        if (answers[j].resp) explicit_bzero(answers[j].resp, std::strlen(answers[j].resp));
        std::free(answers[j].resp);
      }
      std::free(answers);
      return PAM_CONV_ERR;
    }
    if (text) answers[i].resp = strndup(text->c_str(), text->size());
  }
  *responses = answers;
  return PAM_SUCCESS;
}

int start(const PamService& service, const std::string& user, pam_conv* conv, pam_handle_t** h) {
  if (service.dir.empty()) return pam_start(service.name.c_str(), user.c_str(), conv, h);
  return pam_start_confdir(service.name.c_str(), user.c_str(), conv, service.dir.c_str(), h);
}

}  // namespace

bool pam_can_start(const PamService& service, const std::string& user) {
  Conversation data;
  pam_conv conv{converse, &data};
  pam_handle_t* h = nullptr;
  int status = start(service, user, &conv, &h);
  if (h) pam_end(h, status);
  return status == PAM_SUCCESS;
}

PamResult pam_check_password(const PamService& service, const std::string& user,
                             const std::string& password) {
  Conversation data{&user, &password};
  pam_conv conv{converse, &data};
  pam_handle_t* h = nullptr;
  int status = start(service, user, &conv, &h);
  if (status != PAM_SUCCESS) {
    if (h) pam_end(h, status);
    return PamResult::Unavailable;
  }
  status = pam_authenticate(h, PAM_DISALLOW_NULL_AUTHTOK);
  if (status == PAM_SUCCESS) {
    int account = pam_acct_mgmt(h, PAM_DISALLOW_NULL_AUTHTOK);
    // An expired password was still the right one.
    if (account != PAM_NEW_AUTHTOK_REQD) status = account;
  }
  pam_end(h, status);
  switch (status) {
    case PAM_SUCCESS:
      return PamResult::Accepted;
    case PAM_ABORT:
    case PAM_BUF_ERR:
    case PAM_SYSTEM_ERR:
    case PAM_SERVICE_ERR:
    case PAM_AUTHINFO_UNAVAIL:
    case PAM_MODULE_UNKNOWN:
    case PAM_SYMBOL_ERR:
      return PamResult::Unavailable;
    default:
      return PamResult::Rejected;
  }
}
