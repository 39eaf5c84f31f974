#include "dialogs/find.h"

#include <vector>

#include "wire/text.h"

std::unique_ptr<FindReq> parse_find(std::string_view line, size_t after) {
  std::string_view rest = line.substr(after), callref;
  if (!take_token(rest, callref)) return nullptr;
  auto req = std::make_unique<FindReq>();
  req->callref = callref;
  std::vector<std::string> f = split_tabs(rest);
  req->text = f[0];
  req->forward = !(f.size() > 1 && f[1] == "0");
  req->case_sensitive = f.size() > 2 && f[2] == "1";
  return req;
}

std::unique_ptr<std::string> parse_stopfind(std::string_view line, size_t after) {
  return std::make_unique<std::string>(line.substr(after));
}

std::string callref_window(std::string_view callref) {
  size_t colon = callref.find(':');
  return colon == std::string_view::npos ? "main" : std::string(callref.substr(0, colon));
}

// Finds with the page's own find (selecting and scrolling to the occurrence), then counts:
// the visible text is the text nodes under the body outside script, style and noscript, in
// document order; the selection's place in it picks the active occurrence.
static constexpr const char* kFindBody = R"JS(
if (!window.find(t, cs, back, true, false, false, false))
  return '{"found":false,"matches":0,"activeMatch":0}';
try {
  var sel = window.getSelection(), node = null, offset = 0, at = -1, text = '';
  if (sel && sel.rangeCount > 0) {
    var r = sel.getRangeAt(0);
    node = r.startContainer;
    offset = r.startOffset;
  }
  var walker = document.createTreeWalker(document.body, NodeFilter.SHOW_TEXT);
  for (var n = walker.nextNode(); n; n = walker.nextNode()) {
    var p = n.parentElement && n.parentElement.tagName;
    if (p === 'SCRIPT' || p === 'STYLE' || p === 'NOSCRIPT') continue;
    if (n === node) at = text.length + offset;
    text += n.data;
  }
  if (!cs) { t = t.toLowerCase(); text = text.toLowerCase(); }
  var matches = 0, active = 0;
  for (var i = text.indexOf(t); i >= 0; i = text.indexOf(t, i + t.length)) {
    matches++;
    if (at >= 0 && i <= at) active = matches;
  }
  return JSON.stringify({found: true, matches: matches, activeMatch: active});
} catch (e) {
  return '{"found":true}';
})JS";

std::string find_script(const FindReq& req) {
  return "(function(t,cs,back){" + std::string(kFindBody) + "})(" + json_escape(req.text) + "," +
         (req.case_sensitive ? "true" : "false") + "," + (req.forward ? "false" : "true") + ")";
}
