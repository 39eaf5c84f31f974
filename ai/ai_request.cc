#include "ai/ai_request.h"

#include <vector>

#include "wire/text.h"

std::unique_ptr<AiReq> parse_ai(std::string_view line, size_t after) {
  std::string_view rest = line.substr(after), op, id;
  if (!take_token(rest, op)) return nullptr;
  auto req = std::make_unique<AiReq>();
  req->op = op;
  if (!take_token(rest, id)) {
    req->id = rest;
    return req;
  }
  req->id = id;
  std::vector<std::string> f = split_tabs(rest);
  req->prompt = wire_unescape(f[0]);
  if (f.size() > 1) req->instructions = wire_unescape(f[1]);
  if (f.size() > 2) req->tools = wire_unescape(f[2]);
  return req;
}

std::optional<ToolResult> parse_tool_result(std::string_view line, size_t after) {
  std::string_view rest = line.substr(after), call;
  if (!take_token(rest, call)) return std::nullopt;
  return ToolResult{wire_atol(call), wire_unescape(rest)};
}

std::string ai_availability_json(int available) {
  const char* status = available == 1   ? "available"
                       : available == 0 ? "unavailable"
                                        : "unsupported";
  return std::string("{\"ok\":true,\"status\":\"") + status + "\"}";
}

std::string ai_text_json(std::string_view text) {
  return "{\"ok\":true,\"text\":" + json_escape(text) + "}";
}

std::string ai_error_json(std::string_view message) {
  return "{\"ok\":false,\"error\":" + json_escape(message.empty() ? "generation failed" : message) +
         "}";
}

std::string aitool_line(long call, std::string_view name, std::string_view arguments) {
  return "AITOOL " + std::to_string(call) + " " + wire_escape(name) + "\t" +
         wire_escape(arguments.empty() ? "{}" : arguments);
}
