#include "bench/bench_text.h"

#include <time.h>

#include <algorithm>
#include <charconv>
#include <cmath>

namespace {

bool all_digits(std::string_view s) {
  return std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

int hex_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool read_hex4(std::string_view text, size_t pos, uint32_t& out) {
  if (pos + 4 > text.size()) return false;
  out = 0;
  for (size_t i = 0; i < 4; ++i) {
    int v = hex_value(text[pos + i]);
    if (v < 0) return false;
    out = out * 16 + static_cast<uint32_t>(v);
  }
  return true;
}

void append_utf8(std::string& out, uint32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

// The position just after `"key":`, or npos.
size_t value_after(std::string_view json, std::string_view key) {
  std::string needle;
  needle.reserve(key.size() + 3);
  needle.append("\"").append(key).append("\":");
  size_t at = json.find(needle);
  return at == std::string_view::npos ? at : at + needle.size();
}

bool parse_double(std::string_view text, size_t& pos, double& out) {
  const char* first = text.data() + pos;
  const char* last = text.data() + text.size();
  auto [end, ec] = std::from_chars(first, last, out);
  if (ec != std::errc() || !std::isfinite(out)) return false;
  pos += static_cast<size_t>(end - first);
  return true;
}

}  // namespace

std::optional<PostedCall> split_posted(std::string_view body) {
  size_t colon = body.find(':');
  if (colon == std::string_view::npos) return std::nullopt;
  std::string_view number = body.substr(0, colon);
  if (number.empty() || number.size() > 15 || !all_digits(number)) return std::nullopt;
  return PostedCall{number, body.substr(colon + 1)};
}

std::optional<CallPayload> parse_payload(std::string_view payload) {
  constexpr std::string_view kHead = "{\"method\":";
  constexpr std::string_view kParams = ",\"params\":";
  if (payload.substr(0, kHead.size()) != kHead) return std::nullopt;
  size_t pos = kHead.size();
  CallPayload call;
  if (!decode_json_string(payload, pos, call.method)) return std::nullopt;
  std::string_view rest = payload.substr(pos);
  if (rest == "}") {
    call.params = "null";
    return call;
  }
  if (rest.substr(0, kParams.size()) != kParams || rest.size() < kParams.size() + 2 ||
      rest.back() != '}')
    return std::nullopt;
  call.params = rest.substr(kParams.size(), rest.size() - kParams.size() - 1);
  return call;
}

std::optional<CallLine> parse_call_line(std::string_view line) {
  constexpr std::string_view kVerb = "CALL ";
  if (line.substr(0, kVerb.size()) != kVerb) return std::nullopt;
  line.remove_prefix(kVerb.size());
  size_t blank = line.find(' ');
  if (blank == std::string_view::npos || blank == 0) return std::nullopt;
  CallLine call;
  call.call_id = line.substr(0, blank);
  std::string_view args = line.substr(blank + 1);
  if (args.size() < 2 || args[0] != '[') return std::nullopt;
  size_t pos = 1;
  if (!decode_json_string(args, pos, call.payload)) return std::nullopt;
  if (pos >= args.size() || (args[pos] != ',' && args[pos] != ']')) return std::nullopt;
  return call;
}

bool decode_json_string(std::string_view text, size_t& pos, std::string& out) {
  if (pos >= text.size() || text[pos] != '"') return false;
  out.clear();
  size_t i = pos + 1;
  while (i < text.size()) {
    char c = text[i];
    if (c == '"') {
      pos = i + 1;
      return true;
    }
    if (static_cast<unsigned char>(c) < 0x20) return false;
    if (c != '\\') {
      out.push_back(c);
      ++i;
      continue;
    }
    if (i + 1 >= text.size()) return false;
    char e = text[i + 1];
    i += 2;
    switch (e) {
      case '"':
      case '\\':
      case '/':
        out.push_back(e);
        break;
      case 'b':
        out.push_back('\b');
        break;
      case 'f':
        out.push_back('\f');
        break;
      case 'n':
        out.push_back('\n');
        break;
      case 'r':
        out.push_back('\r');
        break;
      case 't':
        out.push_back('\t');
        break;
      case 'u': {
        uint32_t cp;
        if (!read_hex4(text, i, cp)) return false;
        i += 4;
        uint32_t low;
        if (cp >= 0xD800 && cp < 0xDC00 && i + 1 < text.size() && text[i] == '\\' &&
            text[i + 1] == 'u' && read_hex4(text, i + 2, low) && low >= 0xDC00 && low < 0xE000) {
          cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
          i += 6;
        } else if (cp >= 0xD800 && cp < 0xE000) {
          cp = 0xFFFD;  // a lone surrogate has no UTF-8 form
        }
        append_utf8(out, cp);
        break;
      }
      default:
        return false;
    }
  }
  return false;
}

std::optional<double> json_number(std::string_view json, std::string_view key) {
  size_t pos = value_after(json, key);
  double v;
  if (pos == std::string_view::npos || !parse_double(json, pos, v)) return std::nullopt;
  return v;
}

std::optional<std::vector<double>> json_numbers(std::string_view json, std::string_view key) {
  size_t pos = value_after(json, key);
  if (pos == std::string_view::npos || pos >= json.size() || json[pos] != '[') return std::nullopt;
  ++pos;
  std::vector<double> values;
  if (pos < json.size() && json[pos] == ']') return values;
  for (;;) {
    double v;
    if (!parse_double(json, pos, v)) return std::nullopt;
    values.push_back(v);
    if (pos >= json.size()) return std::nullopt;
    if (json[pos] == ']') return values;
    if (json[pos] != ',') return std::nullopt;
    ++pos;
  }
}

std::optional<std::vector<int64_t>> parse_integers(std::string_view text) {
  std::vector<int64_t> values;
  const char* p = text.data();
  const char* end = p + text.size();
  while (p < end) {
    int64_t v;
    auto [next, ec] = std::from_chars(p, end, v);
    if (ec != std::errc()) return std::nullopt;
    values.push_back(v);
    p = next;
    if (p < end && (*p != ' ' || ++p == end)) return std::nullopt;
  }
  return values;
}

double quantile(const std::vector<double>& sorted, double q) {
  if (sorted.empty()) return 0;
  auto rank = static_cast<size_t>(std::ceil(q * static_cast<double>(sorted.size())));
  return sorted[std::clamp<size_t>(rank, 1, sorted.size()) - 1];
}

double median(std::vector<double> samples) {
  if (samples.empty()) return 0;
  std::sort(samples.begin(), samples.end());
  size_t n = samples.size();
  return n % 2 ? samples[n / 2] : (samples[n / 2 - 1] + samples[n / 2]) / 2;
}

int64_t monotonic_ns() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}
