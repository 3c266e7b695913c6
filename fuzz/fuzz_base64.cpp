// Feeds arbitrary bytes to the Base64 decoder and checks both directions: decoded data encodes to
// text that decodes to the same data, and any bytes encode and decode back unchanged.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "analytics/KXB64.h"

using namespace peckish;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  if (auto decoded = KXDataFromBase64String(text)) {
    if (decoded->size() > (size + 3) / 4 * 3) std::abort();
    auto again = KXDataFromBase64String(KXBase64EncodedData(*decoded));
    if (!again || *again != *decoded) std::abort();
  }
  std::string encoded = KXBase64EncodedData(text);
  if (encoded.size() != (size + 2) / 3 * 4) std::abort();
  auto back = KXDataFromBase64String(encoded);
  if (!back || *back != text) std::abort();
  return 0;
}
