// The head of the service commands that answer: the verb, a blank, the request id, a blank,
// then the command's own text.
#pragma once

#include <optional>
#include <string>
#include <string_view>

struct RequestHead {
  std::string id;
  std::string_view rest;  // everything after the blank that ends the id
};

// The request id runs from `after` (the first byte after the verb) to the next blank; nullopt
// when there is no blank, which drops the line.
std::optional<RequestHead> split_request_head(std::string_view line, size_t after);
