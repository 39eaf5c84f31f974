#include "launcher/read_access.h"

#include <vector>

namespace {

std::vector<std::string> components(const std::string& path) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (start < path.size()) {
    size_t slash = path.find('/', start);
    if (slash == std::string::npos) slash = path.size();
    std::string part = path.substr(start, slash - start);
    if (part.empty() || part == ".") {
      // nothing
    } else if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else {
      parts.push_back(std::move(part));
    }
    start = slash + 1;
  }
  return parts;
}

std::string join(const std::vector<std::string>& parts, size_t count) {
  if (count == 0) return "/";
  std::string out;
  for (size_t i = 0; i < count; ++i)
    out += "/" + parts[i];
  return out;
}

std::string parent_of(const std::string& path) {
  auto parts = components(path);
  return join(parts, parts.empty() ? 0 : parts.size() - 1);
}

}  // namespace

std::string standardize_path(const std::string& path) {
  auto parts = components(path);
  return join(parts, parts.size());
}

std::string kelo_read_access_path(const std::string& file_path, const std::string& read_access,
                                  const std::function<bool(const std::string&)>& is_dir) {
  std::string dir = parent_of(file_path);
  std::string up = parent_of(dir);
  std::string shared = up == "/" ? "/shared" : up + "/shared";
  std::string root = is_dir(shared) ? up : dir;
  if (read_access.empty()) return root;

  std::string ra = standardize_path(read_access);
  std::string rp = standardize_path(root);
  if (rp == ra) return ra;
  std::string prefix = ra == "/" ? ra : ra + "/";
  if (rp.compare(0, prefix.size(), prefix) == 0) return ra;
  auto a = components(ra);
  auto b = components(rp);
  size_t common = 0;
  while (common < a.size() && common < b.size() && a[common] == b[common])
    ++common;
  return join(a, common);
}

bool is_web_address(std::string_view url) {
  return url.substr(0, 7) == "http://" || url.substr(0, 8) == "https://";
}

bool path_inside(std::string_view path, std::string_view root) {
  if (root.empty()) return false;
  if (root == "/" || root == path) return true;
  return path.size() > root.size() && path.starts_with(root) && path[root.size()] == '/';
}
