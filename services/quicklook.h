// QUICKLOOK: a preview of files, one at a time, with previous and next.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

// QUICKLOOK path<TAB>path..., or QUICKLOOK alone (close the preview).
struct QLReq {
  std::vector<std::string> paths;  // unescaped, empty ones skipped
};
std::unique_ptr<QLReq> parse_quicklook(std::string_view line, size_t after);

// The files of the preview and the one shown. Moving stops at either end.
class PreviewList {
 public:
  void assign(std::vector<std::string> paths);
  bool empty() const { return paths_.empty(); }
  const std::string& current() const { return paths_[index_]; }
  bool has_previous() const { return index_ > 0; }
  bool has_next() const { return index_ + 1 < paths_.size(); }
  // Moves by one; false (and no move) at the end of the list.
  bool previous();
  bool next();
  // "2 of 5"; empty for a single file.
  std::string position() const;

 private:
  std::vector<std::string> paths_;
  size_t index_ = 0;
};
