// PERMCHK and PERMREQ: privacy permissions, checked or asked for.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

struct PermReq {
  std::string id;
  std::string kind;
  bool ask = false;  // PERMREQ
};
std::unique_ptr<PermReq> parse_perm(std::string_view line, size_t after);

enum class PermKind { Accessibility, Screen, Notifications, Camera, Microphone, Location, Other };
PermKind perm_kind(std::string_view kind);

enum class PermStatus { Granted, Denied, Undetermined, Unsupported };
// {"status":"granted"} and so on.
std::string perm_reply(PermStatus status);

// The location permission. The location service is looked for once; questions that come
// before that is known wait for it. One prompt at a time: every id that asks while it is open
// gets its answer. Asking needs a usage description in the app's property list.
class LocationGate {
 public:
  struct Steps {
    std::vector<std::pair<std::string, PermStatus>> replies;
    bool probe = false;          // look for the location service, then probed()
    bool prompt = false;         // let the desktop ask the user, then decided()
    bool usage_missing = false;  // tell the developer about the usage description
  };

  explicit LocationGate(bool has_usage_description) : has_usage_(has_usage_description) {}

  Steps query(std::string id, bool ask);
  Steps probed(bool present);
  // Granted or Denied; Undetermined when the prompt failed.
  Steps decided(PermStatus status);

 private:
  void answer(Steps& steps, std::string id, bool ask);

  enum class Service { Unknown, Looking, Absent, Present } service_ = Service::Unknown;
  PermStatus status_ = PermStatus::Undetermined;
  std::vector<std::pair<std::string, bool>> queued_;  // id, ask
  std::vector<std::string> waiting_;                  // ids the open prompt answers
  bool has_usage_;
};
