// SECRET: passwords of the app in the user's keyring, found by service and account.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

// SECRET id op TAB service TAB account TAB value: op as received, the others unescaped.
struct SecretReq {
  std::string id;
  std::string op;
  std::string service;
  std::string account;
  std::string value;
};

std::unique_ptr<SecretReq> parse_secret(std::string_view line, size_t after);

enum class SecretOp { Get, Set, Del, Unknown };
SecretOp secret_op(std::string_view op);

// {"ok":true,"value":V}: V the value as a JSON string, null when there is none or it is not
// UTF-8 text.
std::string secret_value_json(const std::optional<std::string>& value);
// {"ok":false,"error":"keychain error N"}
std::string keychain_error_json(int code);
