// A small JSON reader for the flat records the backend sends inside wire fields: an array of
// objects whose values that matter are strings and booleans. Nested values are validated and
// skipped without recursion, so no input can exhaust the stack.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// A scalar member of an object; containers and numbers are kept as their kind only.
struct JsonScalar {
  enum class Kind { String, True, False, Null, Number, Container } kind = Kind::Null;
  std::string text;  // the decoded string
};
using JsonFlatObject = std::map<std::string, JsonScalar>;

// Containers nested deeper than this make the text invalid.
constexpr size_t kJsonMaxDepth = 256;

// The elements of a JSON array: objects as their members (the last of duplicate keys wins),
// other elements as nothing. Nothing at all when the text is not valid JSON, is not an array,
// or nests too deeply.
std::optional<std::vector<std::optional<JsonFlatObject>>> json_array_of_objects(
    std::string_view text);
