#include "analytics/KXURL.h"

namespace peckish {

const std::vector<KXURLCode>& KXurlCodes() {
  static const std::vector<KXURLCode> codes = {{"+", "-"}, {"/", "_"}};
  return codes;
}

std::string KXstringByReplacingSubstring(std::string_view text, std::string_view target, std::string_view replacement) {
  std::string out(text);
  if (target.empty()) return out;
  std::size_t pos = out.find(target);
  while (pos != std::string::npos) {
    out.replace(pos, target.size(), replacement);
    // Continue behind the replacement, so a replacement that contains the target is not
    // replaced again (and cannot loop forever).
    pos = out.find(target, pos + replacement.size());
  }
  return out;
}

std::string KXURLEncoding(std::string_view text) {
  std::string out(text);
  for (const auto& [target, replacement] : KXurlCodes()) out = KXstringByReplacingSubstring(out, target, replacement);
  return out;
}

}  // namespace peckish
