#include "platform/Image.h"

#include <png.h>

#include <cstdio>
#include <cstring>
#include <memory>

#include "core/Log.h"
#include "platform/Paths.h"

namespace peckish::platform {

namespace {

// Larger pictures are refused rather than decoded: the loader would halve them anyway, and a
// corrupt header must not make us allocate gigabytes.
constexpr png_uint_32 kMaxSide = 16384;

Ref<Image> finishRead(png_image& img, const std::string& what) {
  const bool alpha = (img.format & PNG_FORMAT_FLAG_ALPHA) != 0;
  if (img.width == 0 || img.height == 0 || img.width > kMaxSide || img.height > kMaxSide) {
    engineLog("Image: %s has an unsupported size %ux%u", what.c_str(), img.width, img.height);
    png_image_free(&img);
    return nullptr;
  }
  img.format = PNG_FORMAT_RGBA;
  std::vector<uint8_t> pixels(PNG_IMAGE_SIZE(img));
  if (!png_image_finish_read(&img, nullptr, pixels.data(), 0, nullptr)) {
    engineLog("Image: cannot decode %s: %s", what.c_str(), img.message);
    png_image_free(&img);
    return nullptr;
  }
  // Every decoded PNG has a colour space (grey or RGB); only its alpha channel varies.
  return make<Image>(img.width, img.height, std::move(pixels), true,
                     alpha ? ImageAlphaInfo::Last : ImageAlphaInfo::None);
}

}  // namespace

Image::Image(unsigned width, unsigned height, std::vector<uint8_t> rgba, bool colorSpace,
             ImageAlphaInfo alphaInfo)
    : width_(width), height_(height), rgba_(std::move(rgba)), colorSpace_(colorSpace),
      alphaInfo_(alphaInfo) {
  rgba_.resize(size_t(width_) * height_ * 4, 0);
}

bool Image::hasAlpha() const {
  switch (alphaInfo_) {
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

Ref<Image> Image::imageNamed(const std::string& fileName) {
  if (fileName.empty()) return nullptr;
  std::string path = fileName.front() == '/' ? fileName : pathForResource(fileName);
  if (path.empty() || !fileExists(path)) {
    engineLog("Image: no resource named %s", fileName.c_str());
    return nullptr;
  }
  return imageWithContentsOfFile(path);
}

Ref<Image> Image::imageWithContentsOfFile(const std::string& path) {
  png_image img;
  std::memset(&img, 0, sizeof img);
  img.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&img, path.c_str())) {
    engineLog("Image: cannot read %s: %s", path.c_str(), img.message);
    png_image_free(&img);
    return nullptr;
  }
  return finishRead(img, path);
}

Ref<Image> Image::imageWithPNGData(const void* data, size_t size) {
  if (!data || size == 0) return nullptr;
  png_image img;
  std::memset(&img, 0, sizeof img);
  img.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&img, data, size)) {
    engineLog("Image: cannot read PNG data: %s", img.message);
    png_image_free(&img);
    return nullptr;
  }
  return finishRead(img, "PNG data");
}

bool writePNG(const std::string& path, unsigned width, unsigned height, const uint8_t* rgba,
              int channels) {
  if (!rgba || width == 0 || height == 0 || channels < 1 || channels > 4) return false;
  png_image img;
  std::memset(&img, 0, sizeof img);
  img.version = PNG_IMAGE_VERSION;
  img.width = width;
  img.height = height;
  static const png_uint_32 formats[] = {PNG_FORMAT_GRAY, PNG_FORMAT_GA, PNG_FORMAT_RGB,
                                        PNG_FORMAT_RGBA};
  img.format = formats[channels - 1];
  std::vector<uint8_t> packed;
  const uint8_t* src = rgba;
  if (channels != 4) {
    // Pick R (grey), R+A, or R+G+B out of each RGBA pixel.
    packed.resize(size_t(width) * height * channels);
    for (size_t i = 0, n = size_t(width) * height; i < n; ++i) {
      const uint8_t* p = rgba + i * 4;
      uint8_t* q = packed.data() + i * channels;
      switch (channels) {
        case 1: q[0] = p[0]; break;
        case 2: q[0] = p[0]; q[1] = p[3]; break;
        default: q[0] = p[0]; q[1] = p[1]; q[2] = p[2]; break;
      }
    }
    src = packed.data();
  }
  bool ok = png_image_write_to_file(&img, path.c_str(), 0, src, 0, nullptr) != 0;
  if (!ok) engineLog("Image: cannot write %s: %s", path.c_str(), img.message);
  png_image_free(&img);
  return ok;
}

}  // namespace peckish::platform
