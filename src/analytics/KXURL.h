#pragma once
// Making Base64 text safe for a form value: "+" becomes "-" and "/" becomes "_"; "=" stays.
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace peckish {

using KXURLCode = std::pair<std::string, std::string>;  // target, replacement

// The replacement pairs in the order they are applied (built once, kept for the process).
const std::vector<KXURLCode>& KXurlCodes();

// Every occurrence of target replaced, scanning left to right and continuing after each inserted
// replacement. An empty target leaves the text unchanged.
std::string KXstringByReplacingSubstring(std::string_view text, std::string_view target, std::string_view replacement);

// Applies every pair of KXurlCodes() in order.
std::string KXURLEncoding(std::string_view text);

}  // namespace peckish
