#include "analytics/KXMD5.h"

#include <nettle/md5.h>

#include <cstdio>
#include <cstring>

namespace peckish {

std::string KXMD5(std::string_view text) {
  const void* nul = text.empty() ? nullptr : std::memchr(text.data(), '\0', text.size());
  std::size_t length = nul ? static_cast<std::size_t>(static_cast<const char*>(nul) - text.data()) : text.size();
  md5_ctx ctx;
  md5_init(&ctx);
  md5_update(&ctx, length, reinterpret_cast<const std::uint8_t*>(text.data()));
  std::uint8_t digest[MD5_DIGEST_SIZE];
  md5_digest(&ctx, sizeof digest, digest);
  std::string out;
  out.reserve(2 * MD5_DIGEST_SIZE);
  char buf[3];
  for (std::uint8_t b : digest) {
    std::snprintf(buf, sizeof buf, "%02X", b);
    out += buf;
  }
  return out;
}

}  // namespace peckish
