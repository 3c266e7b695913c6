#pragma once
// The platform's image service: an RGBA picture in memory (8 bits a channel, rows top first,
// colour not premultiplied) and PNG files through libpng. Screenshots write pictures; the texture
// loader reads resources and asks the facts a bitmap carries (colour space, kind of alpha).
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

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

struct Image {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> rgba;  // width * height * 4 bytes, rows top first
  // A picture without a colour space is a mask: its coverage is in the A bytes.
  bool colorSpace = true;
  // Last: the A bytes are the picture's alpha. None: the picture is opaque (A bytes are 255).
  ImageAlphaInfo alphaInfo = ImageAlphaInfo::Last;

  bool empty() const { return width <= 0 || height <= 0 || rgba.empty(); }
  // The pixel at (x, y), y counted from the top, as 0xRRGGBBAA; 0 outside the picture.
  std::uint32_t pixel(int x, int y) const;
  // Whether the bitmap carries alpha (premultiplied or not, first or last, or alpha only).
  bool hasAlpha() const;
};

// Writes the image as an 8-bit RGBA PNG. False (and nothing left behind) on failure.
bool writePNG(const std::string& path, const Image& image);
// Writes the image as an 8-bit PNG with the given number of channels: 4 RGBA, 3 RGB,
// 2 grey + alpha, 1 grey (grey is taken from the R byte).
bool writePNG(const std::string& path, const Image& image, int channels);
// Reads any PNG into 8-bit RGBA; alphaInfo says whether the file had an alpha channel (or a
// transparent palette entry). An empty image on failure.
Image readPNG(const std::string& path);
// The same from PNG bytes in memory.
Image readPNGData(const void* data, std::size_t size);
// Looks a resource up by file name ("Rooster.png") in the resource folder and decodes it; an
// absolute path is used as given. An empty image (and one log line saying why) when the file is
// missing or not a readable PNG.
Image imageNamed(const std::string& fileName);

}  // namespace peckish::platform
