#pragma once
// The platform's image service: a decoded bitmap with the facts a texture loader asks about
// (pixel size, colour space, kind of alpha). PNG files are decoded with libpng.
//
// Pixels are always kept as 8-bit R, G, B, A, top row first, not premultiplied; the alpha
// of an image without an alpha channel is 255. A mask (no colour space) keeps its coverage
// in the A byte.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/Object.h"

namespace peckish::platform {

// How a bitmap stores alpha, with the platform's numeric codes.
enum class ImageAlphaInfo : int {
  None = 0,
  PremultipliedLast = 1,
  PremultipliedFirst = 2,
  Last = 3,
  First = 4,
  NoneSkipLast = 5,
  NoneSkipFirst = 6,
  Only = 7,
};

class Image : public Object {
 public:
  // A bitmap from raw RGBA bytes (width x height x 4, top row first). colorSpace false makes a
  // mask; alphaInfo tells whether the A bytes mean anything.
  Image(unsigned width, unsigned height, std::vector<uint8_t> rgba, bool colorSpace,
        ImageAlphaInfo alphaInfo);

  // Looks a resource up by file name ("Rooster.png") in the resource folder and decodes it;
  // an absolute path is used as given. Null when the file is missing or not a readable PNG.
  static Ref<Image> imageNamed(const std::string& fileName);
  // Decodes a PNG file; null (and one log line saying why) on any failure.
  static Ref<Image> imageWithContentsOfFile(const std::string& path);
  // Decodes PNG bytes held in memory; null on failure.
  static Ref<Image> imageWithPNGData(const void* data, size_t size);

  unsigned width() const { return width_; }
  unsigned height() const { return height_; }
  bool hasColorSpace() const { return colorSpace_; }
  ImageAlphaInfo alphaInfo() const { return alphaInfo_; }
  bool hasAlpha() const;
  const std::vector<uint8_t>& pixels() const { return rgba_; }  // RGBA, width x 4 bytes a row

 private:
  unsigned width_;
  unsigned height_;
  std::vector<uint8_t> rgba_;
  bool colorSpace_;
  ImageAlphaInfo alphaInfo_;
};

// Writes RGBA bytes (width x 4 a row, top row first) as an 8-bit PNG file with the given number
// of channels: 4 RGBA, 3 RGB, 2 grey + alpha, 1 grey (grey is taken from the R byte).
// True on success. Used by screenshots and tests.
bool writePNG(const std::string& path, unsigned width, unsigned height, const uint8_t* rgba,
              int channels = 4);

}  // namespace peckish::platform
