#pragma once
// RC4 over byte strings (std::string holds the bytes; any byte value is allowed).
#include <string>
#include <string_view>

namespace peckish {

// The key is the key text's bytes up to its zero terminator, at most the first 32 (the
// application secret is 32 characters; a shorter text is used whole). Output has the input's
// length, however long the input. An empty or missing key throws std::invalid_argument.
std::string KXRC4(std::string_view data, const char* key);
std::string KXRC4dec(std::string_view data, const char* key);

}  // namespace peckish
