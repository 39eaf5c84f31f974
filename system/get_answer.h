// The one answer a GET owes: the first value given, else null when the answer goes unused.
#pragma once

#include <string>
#include <string_view>
#include <utility>

#include "wire/link.h"

class GetAnswer {
 public:
  explicit GetAnswer(std::string id) : id_(std::move(id)) {}
  GetAnswer(GetAnswer&& other) noexcept
      : id_(std::move(other.id_)), owed_(std::exchange(other.owed_, false)) {}
  GetAnswer& operator=(GetAnswer&&) = delete;
  GetAnswer(const GetAnswer&) = delete;
  ~GetAnswer() { send("null"); }

  // Any thread; later calls do nothing.
  void send(std::string_view json) {
    if (!std::exchange(owed_, false)) return;
    send_reply(id_, json);
  }

 private:
  std::string id_;
  bool owed_ = true;
};
