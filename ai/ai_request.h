// The model's wire: AI requests, their replies, and the tool-call exchange with the backend.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

// AI <op> <id> [prompt TAB instructions TAB tools]
struct AiReq {
  std::string id;
  std::string op;  // "available", or anything else for a generation
  std::string prompt;
  std::string instructions;  // empty: none
  std::string tools;         // JSON tool list; empty: no tools
};

// Null for a line without the blank after the op.
std::unique_ptr<AiReq> parse_ai(std::string_view line, size_t after);

// AITOOLRESULT <call id> <result>: the call id (atol) and the unescaped result; nothing for a
// line without the blank after the call id.
struct ToolResult {
  long call = 0;
  std::string text;
};
std::optional<ToolResult> parse_tool_result(std::string_view line, size_t after);

// {"ok":true,"status":"available"} for 1, "unavailable" for 0, "unsupported" otherwise.
std::string ai_availability_json(int available);
// {"ok":true,"text":...}
std::string ai_text_json(std::string_view text);
// {"ok":false,"error":...}; "generation failed" for an empty message.
std::string ai_error_json(std::string_view message);

// AITOOL <call id> <name>TAB<arguments>, both wire-escaped; "{}" for empty arguments.
std::string aitool_line(long call, std::string_view name, std::string_view arguments);
