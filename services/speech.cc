#include "services/speech.h"

#include <algorithm>
#include <cmath>
#include <set>

#include "wire/text.h"

std::unique_ptr<SayReq> parse_say(std::string_view line, size_t after) {
  std::string_view rest = line.substr(after), id;
  if (!take_token(rest, id)) return nullptr;
  auto req = std::make_unique<SayReq>();
  req->id = id;
  std::vector<std::string> f = split_tabs(rest);
  req->text = wire_unescape(f[0]);
  if (f.size() > 1) req->voice = wire_unescape(f[1]);
  if (f.size() > 2) req->rate = wire_atof(f[2]);
  return req;
}

std::unique_ptr<NoArgs> parse_saystop(std::string_view, size_t) {
  return std::make_unique<NoArgs>();
}

std::unique_ptr<VoicesReq> parse_voices(std::string_view line, size_t after) {
  return std::make_unique<VoicesReq>(VoicesReq{std::string(line.substr(after))});
}

std::optional<int> service_rate(double rate) {
  if (!(rate > 0)) return std::nullopt;
  // Linear, with the normal pace on the service's default: 0 -> -100, 0.5 -> 0, 1 -> 100.
  double mapped = std::round((std::min(rate, 1.0) - 0.5) * 200);
  return static_cast<int>(mapped);
}

namespace {

bool is_variant(const ServiceVoice& v) {
  return !v.variant.empty() && v.variant != "none";
}

// Two or three letters, then subtags of one to eight letters or digits after "-" or "_".
bool is_language_tag(std::string_view text) {
  auto alpha = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); };
  auto alnum = [&](char c) { return alpha(c) || (c >= '0' && c <= '9'); };
  size_t i = 0;
  while (i < text.size() && alpha(text[i]))
    ++i;
  if (i < 2 || i > 3) return false;
  while (i < text.size()) {
    if (text[i] != '-' && text[i] != '_') return false;
    size_t start = ++i;
    while (i < text.size() && alnum(text[i]))
      ++i;
    if (i == start || i - start > 8) return false;
  }
  return true;
}

}  // namespace

std::vector<ServiceVoice> parse_voice_list(std::string_view reply) {
  std::vector<ServiceVoice> voices;
  while (!reply.empty()) {
    size_t end = reply.find('\n');
    std::string_view line = reply.substr(0, end);
    reply.remove_prefix(end == std::string_view::npos ? reply.size() : end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (!line.starts_with("249-")) continue;
    std::vector<std::string> f = split_tabs(line.substr(4));
    f.resize(3);
    voices.push_back({std::move(f[0]), std::move(f[1]), std::move(f[2])});
  }
  return voices;
}

std::string voices_json(const std::vector<ServiceVoice>& voices) {
  std::set<std::string_view> plain;
  for (const ServiceVoice& v : voices) {
    if (!is_variant(v)) plain.insert(v.name);
  }
  std::string out = "[";
  for (const ServiceVoice& v : voices) {
    if (is_variant(v) && plain.count(std::string_view(v.name).substr(0, v.name.find('+')))) {
      continue;
    }
    if (out.size() > 1) out += ',';
    out += "{\"id\":";
    json_escape_to(out, v.name);
    out += ",\"name\":";
    json_escape_to(out, v.name);
    out += ",\"lang\":";
    json_escape_to(out, v.language);
    out += ",\"quality\":\"default\"}";
  }
  return out + "]";
}

VoiceChoice choose_voice(std::string_view field) {
  if (field.empty() || field.size() > 256) return {};
  if (std::any_of(field.begin(), field.end(), [](char c) { return c >= 0 && c < 0x20; })) return {};
  if (is_language_tag(field)) return {VoiceChoice::Kind::Language, std::string(field)};
  return {VoiceChoice::Kind::Name, std::string(field)};
}

SayQueue::Entry* SayQueue::by_token(uint64_t token) {
  for (Entry& e : entries_) {
    if (e.token == token) return &e;
  }
  return nullptr;
}

uint64_t SayQueue::add(std::string request_id) {
  entries_.push_back(Entry{next_token_, std::move(request_id), -1, std::nullopt});
  return next_token_++;
}

void SayQueue::finish(uint64_t token, bool ok) {
  if (Entry* e = by_token(token); e && !e->result) e->result = ok;
}

void SayQueue::bind(uint64_t token, long message_id) {
  if (message_id < 0) return finish(token, false);
  last_bound_ = std::max(last_bound_, message_id);
  std::optional<bool> early;
  if (auto it = early_.find(message_id); it != early_.end()) early = it->second;
  // Every event left from an earlier message belongs to a SAY that is gone.
  early_.erase(early_.begin(), early_.upper_bound(message_id));
  Entry* e = by_token(token);
  if (!e || e->result) return;
  e->message = message_id;
  if (early) e->result = early;
}

void SayQueue::ended(long message_id, bool ok) {
  for (Entry& e : entries_) {
    if (e.message == message_id && !e.result) {
      e.result = ok;
      return;
    }
  }
  if (message_id > last_bound_) early_.emplace(message_id, ok);
}

void SayQueue::stop_all() {
  for (Entry& e : entries_) {
    if (!e.result) e.result = false;
  }
}

void SayQueue::lost() {
  for (Entry& e : entries_) {
    if (e.message >= 0 && !e.result) e.result = false;
    e.message = -1;
  }
  last_bound_ = 0;
  early_.clear();
}

std::vector<SayQueue::Answer> SayQueue::take_ready() {
  std::vector<Answer> out;
  while (!entries_.empty() && entries_.front().result) {
    out.push_back({std::move(entries_.front().id), *entries_.front().result});
    entries_.pop_front();
  }
  return out;
}
