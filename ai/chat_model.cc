#include "ai/model.h"

#include "wire/json_read.h"
#include "wire/text.h"

using Type = JsonValue::Type;

std::optional<std::string> NoModel::generate(const std::string&, const std::string&,
                                             const std::vector<ToolSpec>&, const ToolRunner&,
                                             std::string& error) {
  error = "needs macOS 26";
  return std::nullopt;
}

namespace {

// The error a server put in its answer ({"error":{"message":...}} or {"error":"..."}).
std::string server_error(const JsonValue& answer) {
  if (const JsonValue* e = answer.find("error", Type::Object)) {
    if (const JsonValue* m = e->find("message", Type::String)) return m->text;
  }
  if (const JsonValue* e = answer.find("error", Type::String)) return e->text;
  return "";
}

struct ToolCall {
  std::string id;
  std::string name;
  std::string arguments;
};

std::string tool_calls_json(const std::vector<ToolCall>& calls) {
  std::string out = "[";
  for (const ToolCall& c : calls) {
    if (out.size() > 1) out += ',';
    out += "{\"id\":" + json_escape(c.id) +
           ",\"type\":\"function\",\"function\":{\"name\":" + json_escape(c.name) +
           ",\"arguments\":" + json_escape(c.arguments) + "}}";
  }
  return out + "]";
}

}  // namespace

bool ChatServerModel::find_model(std::string& error) {
  if (!model_.empty()) return true;
  std::optional<std::string> body = transport_->request("/models", nullptr, error);
  if (!body) return false;
  std::optional<JsonValue> list = json_read(*body);
  const JsonValue* data = list ? list->find("data", Type::Array) : nullptr;
  if (data) {
    for (const JsonValue& m : data->items) {
      if (const JsonValue* id = m.find("id", Type::String)) {
        model_ = id->text;
        return true;
      }
    }
  }
  error = "the model server lists no model";
  return false;
}

int ChatServerModel::available() {
  std::string error;
  return find_model(error) ? 1 : 0;
}

std::optional<std::string> ChatServerModel::generate(const std::string& prompt,
                                                     const std::string& instructions,
                                                     const std::vector<ToolSpec>& tools,
                                                     const ToolRunner& run_tool,
                                                     std::string& error) {
  if (!find_model(error)) return std::nullopt;
  std::string messages;
  if (!instructions.empty()) {
    messages += "{\"role\":\"system\",\"content\":" + json_escape(instructions) + "},";
  }
  messages += "{\"role\":\"user\",\"content\":" + json_escape(prompt) + "}";
  std::string tools_json = tools.empty() ? "" : ",\"tools\":" + chat_tools_json(tools);
  for (int round = 0; round <= kMaxToolRounds; ++round) {
    std::string body =
        "{\"model\":" + json_escape(model_) + ",\"messages\":[" + messages + "]" + tools_json + "}";
    std::optional<std::string> text = transport_->request("/chat/completions", &body, error);
    if (!text) return std::nullopt;
    std::optional<JsonValue> answer = json_read(*text);
    if (!answer || answer->type != Type::Object) {
      error = "the model server's answer is not JSON";
      return std::nullopt;
    }
    const JsonValue* choices = answer->find("choices", Type::Array);
    const JsonValue* message = choices && !choices->items.empty()
                                   ? choices->items[0].find("message", Type::Object)
                                   : nullptr;
    if (!message) {
      error = server_error(*answer);
      if (error.empty()) error = "the model server's answer holds no message";
      return std::nullopt;
    }
    std::vector<ToolCall> calls;
    if (const JsonValue* list = message->find("tool_calls", Type::Array)) {
      for (const JsonValue& item : list->items) {
        const JsonValue* fn = item.find("function", Type::Object);
        const JsonValue* name = fn ? fn->find("name", Type::String) : nullptr;
        if (!name) continue;
        const JsonValue* id = item.find("id", Type::String);
        const JsonValue* args = fn->find("arguments", Type::String);
        calls.push_back({id ? id->text : "call" + std::to_string(calls.size() + 1), name->text,
                         args ? args->text : "{}"});
      }
    }
    if (calls.empty()) {
      if (const JsonValue* content = message->find("content", Type::String)) return content->text;
      error = "the model answered nothing";
      return std::nullopt;
    }
    messages +=
        ",{\"role\":\"assistant\",\"content\":null,\"tool_calls\":" + tool_calls_json(calls) + "}";
    for (const ToolCall& c : calls) {
      messages += ",{\"role\":\"tool\",\"tool_call_id\":" + json_escape(c.id) +
                  ",\"content\":" + json_escape(run_tool(c.name, c.arguments)) + "}";
    }
  }
  error = "the model kept calling tools";
  return std::nullopt;
}
