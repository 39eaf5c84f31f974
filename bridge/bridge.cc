#include "bridge/bridge.h"

#include "wire/text.h"

namespace {

bool all_digits(std::string_view s) {
  for (char c : s) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

}  // namespace

std::string kelo_shim_js(std::string_view win_id) {
  std::string js =
      "(function(){if(window.__keloShim)return;window.__keloShim=true;window.__KELO_WIN=";
  json_escape_to(js, win_id);  // a JSON string is a JavaScript string literal too
  js.append(
      ";var n=0,pending={};"
      "window.__invoke=function(payload){return new Promise(function(resolve,reject){"
      "var s=++n;pending[s]={resolve:resolve,reject:reject};"
      "window.webkit.messageHandlers.kelo.postMessage(String(s)+':'+String(payload));});};"
      "window.__keloResolve=function(s,ok,jsonText){var p=pending[s];if(!p)return;"
      "delete pending[s];var v=null;try{v=JSON.parse(jsonText);}catch(e){v=null;}"
      "if(ok)p.resolve(v);else p.reject(v);};})();");
  return js;
}

std::optional<std::string> build_call_line(std::string_view win_id, const PageMessage& msg) {
  size_t colon = msg.body.find(':');
  if (colon == std::string_view::npos) return std::nullopt;
  std::string_view number = msg.body.substr(0, colon);
  if (number.empty() || number.size() > 15 || !all_digits(number)) return std::nullopt;
  std::string_view payload = msg.body.substr(colon + 1);

  std::string line;
  line.reserve(32 + win_id.size() + payload.size() + msg.origin.size());
  line.append("CALL ").append(win_id).push_back(':');
  if (msg.subframe) line.push_back('s');
  line.append(number).append(" [");
  json_escape_to(line, payload);
  if (msg.subframe) line.append(",\"kelo:subframe\"");
  line.push_back(',');
  json_escape_to(line, msg.origin);
  line.push_back(']');
  return line;
}

ReplyTarget parse_reply_target(std::string_view call_id) {
  ReplyTarget t;
  if (call_id.size() > 1 && call_id[0] == 'q' && all_digits(call_id.substr(1))) {
    t.kind = ReplyTarget::Kind::Loopback;
    t.id = call_id.substr(1);
    return t;
  }
  size_t colon = call_id.find(':');
  if (colon == std::string_view::npos) return t;
  std::string_view number = call_id.substr(colon + 1);
  if (number.empty() || !all_digits(number)) return t;
  t.kind = ReplyTarget::Kind::Page;
  t.id = call_id.substr(0, colon);
  t.number = number;
  return t;
}

std::string resolve_script(std::string_view number, bool ok, std::string_view json) {
  std::string js = "window.__keloResolve(";
  js.append(number).append(ok ? ",true," : ",false,");
  json_escape_to(js, json);
  js.push_back(')');
  return js;
}
