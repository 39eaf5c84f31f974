// The tools the backend offers the model, from the JSON list of an AI request.
#pragma once

#include <string>
#include <string_view>
#include <vector>

struct ToolParam {
  std::string name;
  std::string description;  // the parameter's name when none is given
  std::string type;         // "number", "integer", "boolean" or "string"
};

struct ToolSpec {
  std::string name;
  std::string description;        // the tool's name when none is given
  std::vector<ToolParam> params;  // every one required
};

// [{"name":..., "description":..., "parameters":{key: spec or type text}}, ...]. Elements
// without a string name are skipped; a text that is not an array gives no tools.
std::vector<ToolSpec> parse_tools(std::string_view json);

// The schema type of a parameter's type text: number, float, double -> "number"; integer,
// int -> "integer"; boolean, bool -> "boolean"; anything else "string".
const char* schema_type(std::string_view type);

// The tools as a chat-completions "tools" list: functions whose parameters are an object
// schema with every parameter required.
std::string chat_tools_json(const std::vector<ToolSpec>& tools);
