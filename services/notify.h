// Desktop notifications: the NOTIFY record, categories of action buttons, and the notification
// centre that asks once whether notifications can be shown, queues what arrives meanwhile,
// paces delivery, and turns the user's clicks and replies into event lines.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// NOTIFY id TAB title TAB body TAB subtitle TAB sound TAB actions
struct NotifReq {
  std::string id;  // empty: a UUID is made when it is delivered
  std::string title;
  std::string body;
  std::string subtitle;
  bool sound = false;   // the field is exactly "1"
  std::string actions;  // JSON, unescaped from the wire
};
std::unique_ptr<NotifReq> parse_notify(std::string_view line, size_t after);

// One action button of a notification.
struct NotifAction {
  std::string id;
  std::string title;  // the id when the JSON has none
  bool destructive = false;
  bool reply = false;        // asks for a text
  std::string button_title;  // send button of a reply; the title when the JSON has none
  std::string placeholder;
};

// The actions JSON: an array of objects; objects without a string "id" and other elements are
// skipped. Empty for text that is not such an array (invalid, nested too deeply, ...).
std::vector<NotifAction> parse_notif_actions(std::string_view json);

// Action categories by identifier, for the life of the process.
class NotifCategories {
 public:
  // Registers the actions under "kelojs-cat-" + key, replacing an earlier category of that
  // identifier; nothing when the JSON has no usable action.
  std::optional<std::string> add(std::string_view key, std::string_view actions_json);
  const std::vector<NotifAction>* find(const std::string& category) const;

 private:
  std::map<std::string, std::vector<NotifAction>> categories_;
};

// Where the one question about showing notifications stands.
enum class NotifAuth { NotAsked, Asking, Granted, Denied, ScriptFallback };

// What the notification server announced.
struct NotifServerCaps {
  bool body_markup = false;
  bool actions = false;
  bool inline_reply = false;
};
NotifServerCaps notif_caps(const std::vector<std::string>& capabilities);

// The body a server shows: the subtitle on a line of its own (bold where the server reads
// markup), then the body; text is escaped for servers that read markup.
std::string notif_body(std::string_view subtitle, std::string_view body, bool markup);

// One notification as the server gets it.
struct Notification {
  std::string key;        // the id its events carry
  uint32_t replaces = 0;  // the server's id of the earlier notification with this key
  std::string summary;
  std::string body;
  bool sound = false;
  std::vector<std::string> actions;  // pairs of key and label
  // The hints of an inline reply, when the actions hold one ("inline-reply").
  std::string reply_placeholder;
  std::string reply_button;
};

// The argument list of the script fallback: summary, then the body and the subtitle.
std::vector<std::string> notify_send_argv(std::string_view app_name, const NotifReq& req);

std::string notify_click_line(std::string_view key);
// The reply text is wire-escaped; key and action are written as they are.
std::string notify_action_line(std::string_view key, std::string_view action,
                               std::string_view text);

// A reply action chosen where the server cannot take the text itself.
struct ReplyPrompt {
  std::string key;     // the notification's event id
  std::string action;  // the reply action's id
  std::string title;   // the notification's title
  std::string placeholder;
  std::string button;
};

// What the centre needs of the desktop. Answers come back through the NotifyCenter calls
// named on each.
class NotifyPort {
 public:
  virtual ~NotifyPort() = default;
  // Asks whether a notification server answers: settle().
  virtual void ask() = 0;
  // Shows one notification: sent() with the ticket.
  virtual void send(uint64_t ticket, const Notification& n) = 0;
  // Shows a notification without a server; not waited for.
  virtual void run_script(const NotifReq& req) = 0;
  // Asks the user for the text of a reply in the launcher's own dialog.
  virtual void ask_reply(const ReplyPrompt& prompt) = 0;
  virtual void emit(const std::string& line) = 0;
  virtual std::string make_uuid() = 0;
};

class NotifyCenter {
 public:
  // Notifications on their way to the server at once; the rest wait their turn.
  static constexpr size_t kInFlight = 8;
  // Shown notifications whose clicks are remembered, newest first.
  static constexpr size_t kRemembered = 1024;

  explicit NotifyCenter(NotifyPort& port) : port_(port) {}

  NotifAuth state() const { return state_; }
  size_t waiting() const { return queue_.size(); }

  // A NOTIFY line. The first one asks the question; until it is answered they wait.
  void post(NotifReq req);
  // The answer to the question, once: Granted (with the server's capabilities), Denied or
  // ScriptFallback. Waiting notifications go out in arrival order.
  void settle(NotifAuth state, NotifServerCaps caps = {});
  // The server's id for a sent notification; 0 when it was refused.
  void sent(uint64_t ticket, uint32_t server_id);

  // The server's signals about its notifications; ids of other clients are ignored.
  void invoked(uint32_t server_id, std::string_view action_key);
  void replied(uint32_t server_id, std::string_view text);
  void closed(uint32_t server_id);

 private:
  struct Shown {
    std::string key;
    std::string title;
    std::optional<std::string> category;
    uint64_t seq = 0;
  };

  void pump();
  bool key_in_flight(const std::string& key) const;
  Notification prepare(const NotifReq& req, Shown& shown);
  void remember(uint32_t server_id, Shown shown);
  void forget(uint32_t server_id);
  const std::vector<NotifAction>* actions_of(const Shown& s) const;
  const NotifAction* first_reply(const Shown& s) const;

  NotifyPort& port_;
  NotifAuth state_ = NotifAuth::NotAsked;
  bool pumping_ = false;
  uint64_t seq_ = 0;
  NotifServerCaps caps_;
  std::deque<NotifReq> queue_;
  NotifCategories categories_;
  uint64_t next_ticket_ = 1;
  std::map<uint64_t, Shown> in_flight_;
  std::map<uint32_t, Shown> shown_;
  std::deque<std::pair<uint64_t, uint32_t>> shown_order_;  // seq, server id; oldest first
  std::map<std::string, uint32_t> by_key_;
};
