#include "services/quicklook.h"

#include "wire/text.h"

std::unique_ptr<QLReq> parse_quicklook(std::string_view line, size_t after) {
  auto req = std::make_unique<QLReq>();
  if (line.size() <= after) return req;
  for (const std::string& field : split_tabs(line.substr(after + 1))) {
    if (!field.empty()) req->paths.push_back(wire_unescape(field));
  }
  return req;
}

void PreviewList::assign(std::vector<std::string> paths) {
  paths_ = std::move(paths);
  index_ = 0;
}

bool PreviewList::previous() {
  if (!has_previous()) return false;
  --index_;
  return true;
}

bool PreviewList::next() {
  if (!has_next()) return false;
  ++index_;
  return true;
}

std::string PreviewList::position() const {
  if (paths_.size() < 2) return {};
  return std::to_string(index_ + 1) + " of " + std::to_string(paths_.size());
}
