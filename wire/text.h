// Text helpers shared by every line the launcher reads or writes.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// A JSON string literal (with its quotes). Control bytes become escapes; bytes from 0x7F up,
// and so UTF-8 sequences, pass unchanged.
std::string json_escape(std::string_view text);
// Appends json_escape(text) to out.
void json_escape_to(std::string& out, std::string_view text);

// printf into a string as long as the text needs.
std::string strprintf(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

// A JSON array of strings, comma separated, no blanks: ["a","b"].
std::string json_string_array(const std::vector<std::string>& items);

// Free text inside a wire field: backslash, LF, TAB and CR become two-byte escapes.
std::string wire_escape(std::string_view text);
// Reverses wire_escape; a backslash before any other byte yields that byte, a trailing
// backslash is kept.
std::string wire_unescape(std::string_view text);

// Cuts the token that ends at the next blank off the front of rest (the blank goes too); false,
// leaving rest as it was, when there is no blank.
bool take_token(std::string_view& rest, std::string_view& token);

// Splits at every TAB; N tabs give N + 1 fields, empty ones included.
std::vector<std::string> split_tabs(std::string_view text);

// C atoi/atof semantics (leading blanks, optional sign, no digits gives 0) on a view.
int wire_atoi(std::string_view text);
long wire_atol(std::string_view text);
double wire_atof(std::string_view text);

// ASCII letters lower-cased; other bytes unchanged.
std::string ascii_lower(std::string_view text);

// %XX escapes (either case of hex digit) become their byte; a "%" not followed by two hex
// digits stays as it is.
std::string percent_decode(std::string_view text);
