#include "services/notify.h"

#include <algorithm>

#include "wire/json_read.h"
#include "wire/text.h"

namespace {

// Action keys the notification protocol gives a meaning of its own.
constexpr std::string_view kDefaultKey = "default";
constexpr std::string_view kInlineReplyKey = "inline-reply";

std::optional<std::string> string_member(const JsonValue& o, const char* key) {
  const JsonValue* v = o.find(key, JsonValue::Type::String);
  return v ? std::optional<std::string>(v->text) : std::nullopt;
}

bool true_member(const JsonValue& o, const char* key) {
  const JsonValue* v = o.find(key, JsonValue::Type::Bool);
  return v && v->boolean;
}

std::string markup_escape(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

}  // namespace

std::unique_ptr<NotifReq> parse_notify(std::string_view line, size_t after) {
  std::vector<std::string> f = split_tabs(line.substr(after));
  f.resize(std::max<size_t>(f.size(), 6));
  auto req = std::make_unique<NotifReq>();
  req->id = std::move(f[0]);
  req->title = std::move(f[1]);
  req->body = std::move(f[2]);
  req->subtitle = std::move(f[3]);
  req->sound = f[4] == "1";
  req->actions = wire_unescape(f[5]);
  return req;
}

std::vector<NotifAction> parse_notif_actions(std::string_view json) {
  std::vector<NotifAction> actions;
  std::optional<JsonValue> list = json_read(json);
  if (!list || list->type != JsonValue::Type::Array) return actions;
  for (const JsonValue& element : list->items) {
    auto id = string_member(element, "id");
    if (!id) continue;
    NotifAction a;
    a.id = std::move(*id);
    a.title = string_member(element, "title").value_or(a.id);
    a.destructive = true_member(element, "destructive");
    a.reply = true_member(element, "reply");
    a.button_title = string_member(element, "buttonTitle").value_or(a.title);
    a.placeholder = string_member(element, "placeholder").value_or("");
    actions.push_back(std::move(a));
  }
  return actions;
}

std::optional<std::string> NotifCategories::add(std::string_view key,
                                                std::string_view actions_json) {
  std::vector<NotifAction> actions = parse_notif_actions(actions_json);
  if (actions.empty()) return std::nullopt;
  std::string id = "kelojs-cat-" + std::string(key);
  categories_[id] = std::move(actions);
  return id;
}

const std::vector<NotifAction>* NotifCategories::find(const std::string& category) const {
  auto it = categories_.find(category);
  return it == categories_.end() ? nullptr : &it->second;
}

NotifServerCaps notif_caps(const std::vector<std::string>& capabilities) {
  NotifServerCaps caps;
  for (const std::string& c : capabilities) {
    if (c == "body-markup") caps.body_markup = true;
    if (c == "actions") caps.actions = true;
    if (c == kInlineReplyKey) caps.inline_reply = true;
  }
  return caps;
}

std::string notif_body(std::string_view subtitle, std::string_view body, bool markup) {
  std::string out;
  if (!subtitle.empty()) {
    out = markup ? "<b>" + markup_escape(subtitle) + "</b>" : std::string(subtitle);
  }
  if (!body.empty()) {
    if (!out.empty()) out += '\n';
    out += markup ? markup_escape(body) : std::string(body);
  }
  return out;
}

std::vector<std::string> notify_send_argv(std::string_view app_name, const NotifReq& req) {
  std::string text = req.body;
  if (!req.subtitle.empty()) text += (text.empty() ? "" : "\n") + req.subtitle;
  return {"notify-send", "--app-name=" + std::string(app_name), "--", req.title, text};
}

std::string notify_click_line(std::string_view key) {
  return "NOTIFYCLICK " + std::string(key);
}

std::string notify_action_line(std::string_view key, std::string_view action,
                               std::string_view text) {
  std::string line = "NOTIFYACTION ";
  line.append(key).append("\t").append(action).append("\t").append(wire_escape(text));
  return line;
}

void NotifyCenter::post(NotifReq req) {
  switch (state_) {
    case NotifAuth::NotAsked:
      state_ = NotifAuth::Asking;
      queue_.push_back(std::move(req));
      port_.ask();
      break;
    case NotifAuth::Asking:
      queue_.push_back(std::move(req));
      break;
    case NotifAuth::Granted:
      queue_.push_back(std::move(req));
      pump();
      break;
    case NotifAuth::ScriptFallback:
      port_.run_script(req);
      break;
    case NotifAuth::Denied:
      break;
  }
}

void NotifyCenter::settle(NotifAuth state, NotifServerCaps caps) {
  if (state_ != NotifAuth::Asking) return;
  state_ = state;
  caps_ = caps;
  if (state == NotifAuth::Granted) {
    pump();
    return;
  }
  std::deque<NotifReq> waiting;
  waiting.swap(queue_);
  if (state == NotifAuth::ScriptFallback) {
    for (const NotifReq& req : waiting)
      port_.run_script(req);
  }
}

bool NotifyCenter::key_in_flight(const std::string& key) const {
  return std::any_of(in_flight_.begin(), in_flight_.end(),
                     [&](const auto& f) { return f.second.key == key; });
}

// Sends waiting notifications while fewer than kInFlight are on their way. A notification
// waits while an earlier one with its id is on its way: it replaces that one, so it needs the
// server's id for it.
void NotifyCenter::pump() {
  if (pumping_) return;
  pumping_ = true;
  while (!queue_.empty() && in_flight_.size() < kInFlight) {
    if (!queue_.front().id.empty() && key_in_flight(queue_.front().id)) break;
    NotifReq req = std::move(queue_.front());
    queue_.pop_front();
    Shown shown;
    Notification n = prepare(req, shown);
    uint64_t ticket = next_ticket_++;
    in_flight_[ticket] = std::move(shown);
    port_.send(ticket, n);
  }
  pumping_ = false;
}

Notification NotifyCenter::prepare(const NotifReq& req, Shown& shown) {
  shown.key = req.id.empty() ? port_.make_uuid() : req.id;
  shown.title = req.title;
  if (!req.actions.empty())
    shown.category = categories_.add(req.id.empty() ? "anon" : req.id, req.actions);

  Notification n;
  n.key = shown.key;
  if (auto it = by_key_.find(n.key); it != by_key_.end()) n.replaces = it->second;
  n.summary = req.title;
  n.body = notif_body(req.subtitle, req.body, caps_.body_markup);
  n.sound = req.sound;
  if (!caps_.actions) return n;
  n.actions = {std::string(kDefaultKey), "Open"};
  const std::vector<NotifAction>* actions = actions_of(shown);
  if (!actions) return n;
  bool inline_reply = false;
  for (const NotifAction& a : *actions) {
    if (a.id == kDefaultKey) continue;  // that key is the click on the notification itself
    if (a.reply && caps_.inline_reply && !inline_reply) {
      inline_reply = true;
      n.actions.insert(n.actions.end(), {std::string(kInlineReplyKey), a.title});
      n.reply_placeholder = a.placeholder;
      n.reply_button = a.button_title;
    } else {
      n.actions.insert(n.actions.end(), {a.id, a.title});
    }
  }
  return n;
}

void NotifyCenter::sent(uint64_t ticket, uint32_t server_id) {
  auto it = in_flight_.find(ticket);
  if (it == in_flight_.end()) return;
  Shown shown = std::move(it->second);
  in_flight_.erase(it);
  if (server_id != 0) remember(server_id, std::move(shown));
  pump();
}

void NotifyCenter::remember(uint32_t server_id, Shown shown) {
  forget(server_id);
  shown.seq = ++seq_;
  by_key_[shown.key] = server_id;
  shown_order_.emplace_back(shown.seq, server_id);
  shown_[server_id] = std::move(shown);
  // Entries of notifications since replaced or closed are dropped from the order now and then.
  if (shown_order_.size() > 2 * kRemembered) {
    std::erase_if(shown_order_, [this](const auto& entry) {
      auto s = shown_.find(entry.second);
      return s == shown_.end() || s->second.seq != entry.first;
    });
  }
  while (shown_.size() > kRemembered) {
    auto [seq, id] = shown_order_.front();
    shown_order_.pop_front();
    if (auto s = shown_.find(id); s != shown_.end() && s->second.seq == seq) forget(id);
  }
}

void NotifyCenter::forget(uint32_t server_id) {
  auto it = shown_.find(server_id);
  if (it == shown_.end()) return;
  if (auto k = by_key_.find(it->second.key); k != by_key_.end() && k->second == server_id) {
    by_key_.erase(k);
  }
  shown_.erase(it);
}

const std::vector<NotifAction>* NotifyCenter::actions_of(const Shown& s) const {
  return s.category ? categories_.find(*s.category) : nullptr;
}

const NotifAction* NotifyCenter::first_reply(const Shown& s) const {
  const std::vector<NotifAction>* actions = actions_of(s);
  if (!actions) return nullptr;
  auto it = std::find_if(actions->begin(), actions->end(), [](const auto& a) { return a.reply; });
  return it == actions->end() ? nullptr : &*it;
}

void NotifyCenter::invoked(uint32_t server_id, std::string_view action_key) {
  auto it = shown_.find(server_id);
  if (it == shown_.end()) return;
  const Shown& s = it->second;
  if (action_key == kDefaultKey) {
    port_.emit(notify_click_line(s.key));
    return;
  }
  const NotifAction* action = nullptr;
  if (action_key == kInlineReplyKey) {
    action = first_reply(s);
  } else if (const auto* actions = actions_of(s)) {
    auto a = std::find_if(actions->begin(), actions->end(),
                          [&](const NotifAction& x) { return x.id == action_key; });
    if (a != actions->end()) action = &*a;
  }
  if (action && action->reply) {
    port_.ask_reply({s.key, action->id, s.title, action->placeholder, action->button_title});
    return;
  }
  port_.emit(notify_action_line(s.key, action_key, ""));
}

void NotifyCenter::replied(uint32_t server_id, std::string_view text) {
  auto it = shown_.find(server_id);
  if (it == shown_.end()) return;
  const NotifAction* action = first_reply(it->second);
  port_.emit(notify_action_line(it->second.key, action ? action->id : kInlineReplyKey, text));
}

void NotifyCenter::closed(uint32_t server_id) {
  forget(server_id);
}
