#include "analytics/KXEncryption.h"

#include <nettle/arcfour.h>

#include <cstring>
#include <stdexcept>

namespace peckish {

namespace {
constexpr std::size_t kKeyLength = 32;

std::string rc4(std::string_view data, const char* key) {
  std::size_t keyLength = key ? strnlen(key, kKeyLength) : 0;
  if (keyLength == 0) throw std::invalid_argument("RC4 needs a non-empty key");
  arcfour_ctx ctx;
  arcfour_set_key(&ctx, keyLength, reinterpret_cast<const std::uint8_t*>(key));
  // The work buffer is sized to the input.
  std::string out(data.size(), '\0');
  if (!data.empty())
    arcfour_crypt(&ctx, data.size(), reinterpret_cast<std::uint8_t*>(out.data()),
                  reinterpret_cast<const std::uint8_t*>(data.data()));
  return out;
}
}  // namespace

std::string KXRC4(std::string_view data, const char* key) { return rc4(data, key); }
std::string KXRC4dec(std::string_view data, const char* key) { return rc4(data, key); }

}  // namespace peckish
