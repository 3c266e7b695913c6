// Feeds arbitrary bytes to the PNG reader the textures load through. Besides memory and
// undefined-behaviour errors it checks that a decoded picture holds exactly its pixels and that
// the picture survives being written and read back.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/Image.h"

using namespace peckish::platform;

namespace {
void check(bool ok) {
  if (!ok) std::abort();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Image image = readPNGData(data, size);
  if (image.empty()) return 0;
  check(image.width > 0 && image.height > 0);
  check(image.rgba.size() == static_cast<std::size_t>(image.width) * image.height * 4);
  (void)image.pixel(image.width - 1, image.height - 1);
  check(image.pixel(image.width, 0) == 0 && image.pixel(-1, -1) == 0);
  if (image.rgba.size() <= 1u << 20) {
    static const std::string path = "/tmp/peckish-fuzz-png-" + std::to_string(getpid()) + ".png";
    check(writePNG(path, image));
    Image again = readPNG(path);
    unlink(path.c_str());
    check(again.width == image.width && again.height == image.height && again.rgba == image.rgba);
  }
  return 0;
}
