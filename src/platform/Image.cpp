#include "platform/Image.h"

#include <png.h>

#include <cstdio>
#include <cstring>

#include "core/Log.h"
#include "platform/Paths.h"

namespace peckish::platform {

namespace {

// Larger pictures are refused rather than decoded: the texture loader would halve them anyway,
// and a corrupt header must not make us allocate gigabytes.
constexpr png_uint_32 kMaxSide = 16384;

// Finishes a read begun on `png`; an empty image on failure (message in `why`).
Image finishRead(png_image& png, std::string& why) {
  Image out;
  const bool alpha = (png.format & PNG_FORMAT_FLAG_ALPHA) != 0;
  if (png.width == 0 || png.height == 0 || png.width > kMaxSide || png.height > kMaxSide) {
    why = "unsupported size";
    png_image_free(&png);
    return out;
  }
  png.format = PNG_FORMAT_RGBA;
  std::vector<std::uint8_t> buf(PNG_IMAGE_SIZE(png));
  if (!png_image_finish_read(&png, nullptr, buf.data(), 0, nullptr)) {
    why = png.message;
    png_image_free(&png);
    return out;
  }
  out.width = static_cast<int>(png.width);
  out.height = static_cast<int>(png.height);
  out.rgba = std::move(buf);
  out.colorSpace = true;  // grey and RGB files alike
  out.alphaInfo = alpha ? ImageAlphaInfo::Last : ImageAlphaInfo::None;
  return out;
}

Image readFile(const std::string& path, std::string& why) {
  png_image png;
  std::memset(&png, 0, sizeof png);
  png.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&png, path.c_str())) {
    why = png.message;
    png_image_free(&png);
    return Image{};
  }
  return finishRead(png, why);
}

}  // namespace

std::uint32_t Image::pixel(int x, int y) const {
  if (x < 0 || y < 0 || x >= width || y >= height) return 0;
  const size_t i = (static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)) * 4;
  if (i + 3 >= rgba.size()) return 0;
  return (std::uint32_t{rgba[i]} << 24) | (std::uint32_t{rgba[i + 1]} << 16) | (std::uint32_t{rgba[i + 2]} << 8) |
         std::uint32_t{rgba[i + 3]};
}

bool Image::hasAlpha() const {
  switch (alphaInfo) {
    case ImageAlphaInfo::PremultipliedLast:
    case ImageAlphaInfo::PremultipliedFirst:
    case ImageAlphaInfo::Last:
    case ImageAlphaInfo::First:
    case ImageAlphaInfo::Only:
      return true;
    default:
      return false;
  }
}

bool writePNG(const std::string& path, const Image& image) { return writePNG(path, image, 4); }

bool writePNG(const std::string& path, const Image& image, int channels) {
  if (image.empty() || image.rgba.size() < static_cast<size_t>(image.width) * image.height * 4) return false;
  if (channels < 1 || channels > 4) return false;
  png_image png;
  std::memset(&png, 0, sizeof png);
  png.version = PNG_IMAGE_VERSION;
  png.width = static_cast<png_uint_32>(image.width);
  png.height = static_cast<png_uint_32>(image.height);
  static const png_uint_32 formats[] = {PNG_FORMAT_GRAY, PNG_FORMAT_GA, PNG_FORMAT_RGB, PNG_FORMAT_RGBA};
  png.format = formats[channels - 1];
  std::vector<std::uint8_t> packed;
  const std::uint8_t* src = image.rgba.data();
  if (channels != 4) {
    // Pick R (grey), R + A, or R, G, B out of each RGBA pixel.
    const size_t n = static_cast<size_t>(image.width) * image.height;
    packed.resize(n * channels);
    for (size_t i = 0; i < n; ++i) {
      const std::uint8_t* p = image.rgba.data() + i * 4;
      std::uint8_t* q = packed.data() + i * channels;
      switch (channels) {
        case 1: q[0] = p[0]; break;
        case 2: q[0] = p[0]; q[1] = p[3]; break;
        default: q[0] = p[0]; q[1] = p[1]; q[2] = p[2]; break;
      }
    }
    src = packed.data();
  }
  const std::string tmp = path + ".part";
  if (!png_image_write_to_file(&png, tmp.c_str(), 0, src, 0, nullptr)) {
    png_image_free(&png);
    std::remove(tmp.c_str());
    return false;
  }
  if (std::rename(tmp.c_str(), path.c_str()) != 0) {
    std::remove(tmp.c_str());
    return false;
  }
  return true;
}

Image readPNG(const std::string& path) {
  std::string why;
  return readFile(path, why);
}

Image readPNGData(const void* data, std::size_t size) {
  if (!data || size == 0) return Image{};
  png_image png;
  std::memset(&png, 0, sizeof png);
  png.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&png, data, size)) {
    png_image_free(&png);
    return Image{};
  }
  std::string why;
  return finishRead(png, why);
}

Image imageNamed(const std::string& fileName) {
  if (fileName.empty()) return Image{};
  const std::string path = fileName.front() == '/' ? fileName : pathForResource(fileName);
  if (path.empty() || !fileExists(path)) {
    engineLog("Image: no resource named %s", fileName.c_str());
    return Image{};
  }
  std::string why;
  Image img = readFile(path, why);
  if (img.empty()) engineLog("Image: cannot decode %s: %s", path.c_str(), why.c_str());
  return img;
}

}  // namespace peckish::platform
