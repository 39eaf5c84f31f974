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

// The origin text of a URL: lower-case scheme "://" lower-case host, ":" port unless it is
// absent or the scheme's default (80 for http, 443 for https); "file://" for file URLs; "null"
// without a scheme.
std::string url_origin_str(std::string_view url);
