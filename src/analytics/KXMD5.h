#pragma once
// MD5 digest of a text as 32 upper-case hexadecimal digits.
#include <string>
#include <string_view>

namespace peckish {

// The digest of the text's UTF-8 bytes up to its first zero byte.
std::string KXMD5(std::string_view text);

}  // namespace peckish
