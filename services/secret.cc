#include "services/secret.h"

#include <vector>

#include "services/request_head.h"
#include "wire/text.h"

std::unique_ptr<SecretReq> parse_secret(std::string_view line, size_t after) {
  auto head = split_request_head(line, after);
  if (!head) return nullptr;
  std::vector<std::string> f = split_tabs(head->rest);
  f.resize(4);
  auto req = std::make_unique<SecretReq>();
  req->id = std::move(head->id);
  req->op = std::move(f[0]);
  req->service = wire_unescape(f[1]);
  req->account = wire_unescape(f[2]);
  req->value = wire_unescape(f[3]);
  return req;
}

SecretOp secret_op(std::string_view op) {
  if (op == "get") return SecretOp::Get;
  if (op == "set") return SecretOp::Set;
  if (op == "del") return SecretOp::Del;
  return SecretOp::Unknown;
}

std::string secret_value_json(const std::optional<std::string>& value) {
  return "{\"ok\":true,\"value\":" + (value ? json_escape(*value) : std::string("null")) + "}";
}

std::string keychain_error_json(int code) {
  return "{\"ok\":false,\"error\":\"keychain error " + std::to_string(code) + "\"}";
}
