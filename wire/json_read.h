// A small JSON reader: the JSON texts of wire lines and the answers of services the launcher
// talks to.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct JsonValue {
  enum class Type { Null, Bool, Number, String, Array, Object };
  Type type = Type::Null;
  bool boolean = false;
  double number = 0;
  std::string text;                          // String: UTF-8, escapes decoded
  std::vector<JsonValue> items;              // Array
  std::map<std::string, JsonValue> members;  // Object; a repeated key keeps its last value

  // The member of an object with that key and type, else null.
  const JsonValue* find(const std::string& key, Type type) const;
};

// Texts nest at most this deep; deeper ones are refused.
constexpr int kJsonMaxDepth = 64;

// The value of a complete JSON text (blanks around it allowed), or nothing when the text is not
// JSON or nests too deep.
std::optional<JsonValue> json_read(std::string_view text);
