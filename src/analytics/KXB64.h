#pragma once
// Standard Base64 (RFC 4648 alphabet, "=" padding, no line breaks) over byte strings.
#include <optional>
#include <string>
#include <string_view>

namespace peckish {

std::string KXBase64EncodedData(std::string_view data);

// Decodes Base64 text; white space and "=" are skipped wherever they stand. Gives nothing when the
// text holds any other character outside the alphabet, or ends with a group of a single
// character. The text ends at its first zero byte. Empty text gives empty data.
std::optional<std::string> KXDataFromBase64String(std::string_view text);

}  // namespace peckish
