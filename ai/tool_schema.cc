#include "ai/tool_schema.h"

#include "wire/json_read.h"
#include "wire/text.h"

using Type = JsonValue::Type;

const char* schema_type(std::string_view type) {
  if (type == "number" || type == "float" || type == "double") return "number";
  if (type == "integer" || type == "int") return "integer";
  if (type == "boolean" || type == "bool") return "boolean";
  return "string";
}

std::vector<ToolSpec> parse_tools(std::string_view json) {
  std::vector<ToolSpec> tools;
  std::optional<JsonValue> list = json_read(json);
  if (!list || list->type != Type::Array) return tools;
  for (const JsonValue& item : list->items) {
    const JsonValue* name = item.find("name", Type::String);
    if (!name) continue;
    ToolSpec tool;
    tool.name = name->text;
    const JsonValue* description = item.find("description", Type::String);
    tool.description = description ? description->text : tool.name;
    if (const JsonValue* params = item.find("parameters", Type::Object)) {
      for (const auto& [key, spec] : params->members) {
        ToolParam p{key, key, "string"};
        if (spec.type == Type::Object) {
          if (const JsonValue* t = spec.find("type", Type::String)) p.type = schema_type(t->text);
          if (const JsonValue* d = spec.find("description", Type::String)) p.description = d->text;
        } else if (spec.type == Type::String) {
          p.type = schema_type(spec.text);  // a bare type text is shorthand for {"type": ...}
        }
        tool.params.push_back(std::move(p));
      }
    }
    tools.push_back(std::move(tool));
  }
  return tools;
}

std::string chat_tools_json(const std::vector<ToolSpec>& tools) {
  std::string out = "[";
  for (const ToolSpec& t : tools) {
    if (out.size() > 1) out += ',';
    out += "{\"type\":\"function\",\"function\":{\"name\":" + json_escape(t.name) +
           ",\"description\":" + json_escape(t.description) +
           ",\"parameters\":{\"type\":\"object\",\"properties\":{";
    std::vector<std::string> required;
    for (const ToolParam& p : t.params) {
      if (!required.empty()) out += ',';
      out += json_escape(p.name) + ":{\"type\":\"" + p.type +
             "\",\"description\":" + json_escape(p.description) + "}";
      required.push_back(p.name);
    }
    out += "},\"required\":" + json_string_array(required) + "}}}";
  }
  return out + "]";
}
