// Texts of the bridge bench: the calls a page posts, the CALL lines the bench answers as the
// backend, and the figures the page reports. Shared by the bench and the engine floor; neither
// uses the launcher's own code for them, so a fault there cannot hide in both.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// A posted page message "<call number>:<payload>".
struct PostedCall {
  std::string_view number;  // 1 to 15 decimal digits
  std::string_view payload;
};
std::optional<PostedCall> split_posted(std::string_view body);

// A call payload as the page's JSON.stringify({method, params}) writes it.
struct CallPayload {
  std::string method;
  std::string_view params;  // JSON text; "null" when the call has no params
};
std::optional<CallPayload> parse_payload(std::string_view payload);

// A CALL line "CALL <call id> [<payload>,...]": the call id and the decoded payload string.
struct CallLine {
  std::string_view call_id;
  std::string payload;
};
std::optional<CallLine> parse_call_line(std::string_view line);

// Decodes the JSON string literal starting at text[pos] (its opening quote); pos ends after the
// closing quote. False for a malformed literal.
bool decode_json_string(std::string_view text, size_t& pos, std::string& out);

// The number, or the array of numbers, that follows the first "key": in a JSON text.
std::optional<double> json_number(std::string_view json, std::string_view key);
std::optional<std::vector<double>> json_numbers(std::string_view json, std::string_view key);

// Integers separated by single blanks; nothing when anything else is there.
std::optional<std::vector<int64_t>> parse_integers(std::string_view text);

// Nearest-rank quantile (q in [0, 1]) of samples sorted in ascending order; 0 when empty.
double quantile(const std::vector<double>& sorted, double q);
double median(std::vector<double> samples);

// CLOCK_MONOTONIC in nanoseconds.
int64_t monotonic_ns();
