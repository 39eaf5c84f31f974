#include "services/perm.h"

#include "wire/text.h"

std::unique_ptr<PermReq> parse_perm(std::string_view line, size_t after) {
  std::string_view rest = line.substr(after), id;
  if (!take_token(rest, id)) return nullptr;
  return std::make_unique<PermReq>(
      PermReq{std::string(id), std::string(rest), line.starts_with("PERMREQ")});
}

PermKind perm_kind(std::string_view kind) {
  if (kind == "accessibility") return PermKind::Accessibility;
  if (kind == "screen" || kind == "screen-recording") return PermKind::Screen;
  if (kind == "notifications") return PermKind::Notifications;
  if (kind == "camera") return PermKind::Camera;
  if (kind == "microphone") return PermKind::Microphone;
  if (kind == "location") return PermKind::Location;
  return PermKind::Other;
}

std::string perm_reply(PermStatus status) {
  static constexpr const char* kTexts[] = {"granted", "denied", "undetermined", "unsupported"};
  return std::string("{\"status\":\"") + kTexts[static_cast<int>(status)] + "\"}";
}

LocationGate::Steps LocationGate::query(std::string id, bool ask) {
  Steps steps;
  answer(steps, std::move(id), ask);
  return steps;
}

void LocationGate::answer(Steps& steps, std::string id, bool ask) {
  switch (service_) {
    case Service::Unknown:
      service_ = Service::Looking;
      steps.probe = true;
      [[fallthrough]];
    case Service::Looking:
      queued_.emplace_back(std::move(id), ask);
      return;
    case Service::Absent:
      steps.replies.emplace_back(std::move(id), PermStatus::Unsupported);
      return;
    case Service::Present:
      break;
  }
  if (!ask || status_ != PermStatus::Undetermined) {
    steps.replies.emplace_back(std::move(id), status_);
  } else if (!has_usage_) {
    steps.usage_missing = true;
    steps.replies.emplace_back(std::move(id), PermStatus::Undetermined);
  } else {
    waiting_.push_back(std::move(id));
    steps.prompt = steps.prompt || waiting_.size() == 1;
  }
}

LocationGate::Steps LocationGate::probed(bool present) {
  Steps steps;
  if (service_ != Service::Looking) return steps;
  service_ = present ? Service::Present : Service::Absent;
  std::vector<std::pair<std::string, bool>> queued;
  queued.swap(queued_);
  for (auto& [id, ask] : queued)
    answer(steps, std::move(id), ask);
  return steps;
}

LocationGate::Steps LocationGate::decided(PermStatus status) {
  Steps steps;
  status_ = status;
  for (std::string& id : waiting_)
    steps.replies.emplace_back(std::move(id), status);
  waiting_.clear();
  return steps;
}
