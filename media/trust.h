// Which page origins may use the media scheme, the camera and the microphone.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

using TrustRules = std::vector<std::pair<std::string, std::string>>;  // capability, pattern

// Whole-string match; "*" matches any run of characters, everything else itself.
bool media_glob(std::string_view pattern, std::string_view text);

// "file://" always; else some rule with exactly this capability whose pattern matches.
bool media_trusted(const TrustRules& rules, std::string_view capability, std::string_view origin);

// A camera or microphone request is granted without asking the user when every capability it
// needs is trusted for the page's origin and for the origin of each frame that asked since the
// previous request. Without any asking frame known, it is not.
bool capture_trusted(const TrustRules& rules, bool camera, bool microphone,
                     std::string_view page_origin, const std::vector<std::string>& frame_origins);

// The origin text of a URL: lower-case scheme "://" lower-case host, ":" port unless it is
// absent or the scheme's default (80 for http, 443 for https); "file://" for file URLs; "null"
// without a scheme.
std::string url_origin_str(std::string_view url);
