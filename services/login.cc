#include "services/login.h"

#include "wire/text.h"

namespace {

// One argument of an Exec key, quoted when it holds a reserved character.
std::string exec_arg(std::string_view arg) {
  if (arg.find_first_of(" \t\n\"'\\><~|&;$*?#()`%") == std::string_view::npos) {
    return std::string(arg);
  }
  std::string out = "\"";
  for (char c : arg) {
    if (c == '"' || c == '`' || c == '$' || c == '\\') out += '\\';
    if (c == '%') out += '%';
    out += c;
  }
  return out + "\"";
}

std::string_view trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
    s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
    s.remove_suffix(1);
  return s;
}

}  // namespace

std::unique_ptr<LoginReq> parse_login(std::string_view line, size_t after) {
  std::string_view rest = line.substr(after), id;
  if (!take_token(rest, id)) return nullptr;
  int action = rest == "set 1" ? 1 : rest == "set 0" ? 0 : -1;
  return std::make_unique<LoginReq>(LoginReq{std::string(id), action});
}

std::string login_reply(bool enabled, std::string_view error) {
  std::string out = enabled ? R"({"status":"enabled","ok":)" : R"({"status":"disabled","ok":)";
  out += error.empty() ? "true,\"error\":null}" : "false,\"error\":" + json_escape(error) + "}";
  return out;
}

std::string autostart_entry(std::string_view app_name, std::string_view exe) {
  // Values escape backslashes and line breaks as the wire does.
  return "[Desktop Entry]\nType=Application\nName=" + wire_escape(app_name) +
         "\nExec=" + wire_escape(exec_arg(exe)) + " --open\nX-GNOME-Autostart-enabled=true\n";
}

bool autostart_enabled(std::string_view entry) {
  bool in_entry = false;
  while (!entry.empty()) {
    size_t end = entry.find('\n');
    std::string_view line = trim(entry.substr(0, end));
    entry.remove_prefix(end == std::string_view::npos ? entry.size() : end + 1);
    if (line.starts_with("[")) {
      in_entry = line == "[Desktop Entry]";
      continue;
    }
    size_t eq = line.find('=');
    if (!in_entry || eq == std::string_view::npos) continue;
    std::string_view key = trim(line.substr(0, eq)), value = trim(line.substr(eq + 1));
    if (key == "Hidden" && value == "true") return false;
    if (key == "X-GNOME-Autostart-enabled" && value == "false") return false;
  }
  return true;
}
