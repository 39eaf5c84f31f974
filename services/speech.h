// Speech: the SAY, SAYSTOP and VOICES commands, the order in which SAYs are answered, and what
// the desktop's speech service is asked for.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "wire/main_queue.h"

// SAY id text TAB voice TAB rate.
struct SayReq {
  std::string id;
  std::string text;   // unescaped
  std::string voice;  // unescaped; a voice name or a language tag; empty: the default voice
  double rate = 0;    // 0 to 1 with 0.5 as the normal pace; 0 or less: the default rate
};

// VOICES id.
struct VoicesReq {
  std::string id;
};

// Null for a SAY line without the blank after its id.
std::unique_ptr<SayReq> parse_say(std::string_view line, size_t after);
std::unique_ptr<NoArgs> parse_saystop(std::string_view line, size_t after);
std::unique_ptr<VoicesReq> parse_voices(std::string_view line, size_t after);

// The service's rate (-100 slowest, 0 its default, 100 fastest) for a SAY rate, which runs from
// 0 to 1 with 0.5 as the normal pace; nothing for the default rate (0 or less, or not a number).
std::optional<int> service_rate(double rate);

// A voice as the speech service lists it.
struct ServiceVoice {
  std::string name;
  std::string language;
  std::string variant;  // "none" or empty for a voice of its own
  bool operator==(const ServiceVoice&) const = default;
};

// The voices in the service's reply to LIST SYNTHESIS_VOICES: lines "249-" name TAB language TAB
// variant, each ending in CR LF.
std::vector<ServiceVoice> parse_voice_list(std::string_view reply);

// The VOICES list: a JSON array of {"id","name","lang","quality"} in the service's order. Variants
// of a listed voice ("English+Alex" beside "English") are left out: the service offers every
// variant with every voice, which would bury the voices under their combinations.
std::string voices_json(const std::vector<ServiceVoice>& voices);

// How a SAY's voice field selects the voice: a language tag ("en", "pt-BR", "en-GB-x-rp") picks
// the service's voice for that language, other text names a voice (the service falls back to
// its default voice for a name it does not know), an empty field keeps the default. Text with
// control characters is not passed on: the service's protocol is line-based too. Telling names
// from tags by their shape spares every SAY the service's voice list, which takes seconds.
struct VoiceChoice {
  enum class Kind { Default, Name, Language };
  Kind kind = Kind::Default;
  std::string value;  // the voice name or the language tag
  bool operator==(const VoiceChoice&) const = default;
};
VoiceChoice choose_voice(std::string_view field);

// The pending SAYs, answered exactly once each, in the order they arrived. A SAY is sent to the
// service (add), learns its message id (bind), and ends when the service says it finished or was
// cancelled (ended); the service's events may overtake the bind. An answer waits until every
// earlier SAY has been answered.
class SayQueue {
 public:
  struct Answer {
    std::string id;
    bool ok = false;
    bool operator==(const Answer&) const = default;
  };

  // A new SAY; the token names it until it has been answered.
  uint64_t add(std::string request_id);
  // Done without the service (an empty text, for instance).
  void finish(uint64_t token, bool ok);
  // The service's message id; a negative id means the service refused the text.
  void bind(uint64_t token, long message_id);
  // The service finished (ok) or cancelled the message.
  void ended(long message_id, bool ok);
  // SAYSTOP: every pending SAY fails.
  void stop_all();
  // The service went away: the SAYs it held fail; message ids start afresh.
  void lost();
  // The answers whose turn has come, in arrival order.
  std::vector<Answer> take_ready();

  size_t pending() const { return entries_.size(); }

 private:
  struct Entry {
    uint64_t token = 0;
    std::string id;
    long message = -1;  // -1 until bound
    std::optional<bool> result;
  };
  Entry* by_token(uint64_t token);

  std::deque<Entry> entries_;
  uint64_t next_token_ = 1;
  long last_bound_ = 0;
  std::map<long, bool> early_;  // events of messages whose bind is still on its way
};
