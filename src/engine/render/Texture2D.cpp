#include "engine/render/Texture2D.h"

#include "platform/GLES.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "core/Exception.h"
#include "core/Log.h"
#include "engine/render/DisplayMetrics.h"
#include "engine/render/QuadBatch.h"
#include "platform/Image.h"
#include "platform/TextRaster.h"

namespace peckish {

using platform::Image;
using platform::ImageAlphaInfo;

unsigned nextPowerOfTwo(unsigned n) {
  if (n == 1 || (n & (n - 1)) == 0) return n;
  unsigned p = 1;
  while (p < n && p != 0x80000000u) p <<= 1;
  return p < n ? 0x80000000u : p;
}

unsigned maxTextureSize() {
  static unsigned asked = 0;
  if (asked == 0) {
    GLint side = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &side);
    if (side > 0) asked = unsigned(side);
  }
  return asked ? asked : 1024u;
}

namespace {

TexturePixelFormat formatFor(const Image& image) {
  if (!image.colorSpace) return TexturePixelFormat::A8;
  switch (image.alphaInfo) {
    case ImageAlphaInfo::PremultipliedLast:
    case ImageAlphaInfo::PremultipliedFirst:
    case ImageAlphaInfo::Last:
    case ImageAlphaInfo::First:
      return TexturePixelFormat::RGBA8888;
    default:
      return TexturePixelFormat::RGB565;
  }
}

inline uint8_t premultiply(uint8_t c, uint8_t a) { return uint8_t((unsigned(c) * a + 127) / 255); }

uint16_t toRGB565(uint8_t r, uint8_t g, uint8_t b) {
  return uint16_t(((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3));
}

// Draws the image against the top-left corner of a cleared width x height bitmap, scaled down
// by 2^shift. Each destination pixel averages the block of source pixels it covers; blocks cut
// by the picture's edge are weighted by their coverage (as drawing onto a cleared bitmap does).
// Output: 4 bytes a pixel, R G B A, colour premultiplied when withAlpha, alpha 255 otherwise.
std::vector<uint8_t> drawScaled(const Image& image, unsigned width, unsigned height, int shift,
                                bool withAlpha) {
  std::vector<uint8_t> out(size_t(width) * height * 4, 0);
  const unsigned sw = unsigned(image.width);
  const unsigned sh = unsigned(image.height);
  const uint8_t* src = image.rgba.data();
  const unsigned f = 1u << shift;
  const unsigned area = f * f;
  auto sample = [&](unsigned x, unsigned y, unsigned& r, unsigned& g, unsigned& b, unsigned& a) {
    const uint8_t* p = src + (size_t(y) * sw + x) * 4;
    const uint8_t alpha = withAlpha ? p[3] : 255;
    if (withAlpha) {
      r += premultiply(p[0], alpha);
      g += premultiply(p[1], alpha);
      b += premultiply(p[2], alpha);
    } else {
      r += p[0];
      g += p[1];
      b += p[2];
    }
    a += alpha;
  };
  const unsigned dw = std::min(width, (sw + f - 1) >> shift);
  const unsigned dh = std::min(height, (sh + f - 1) >> shift);
  for (unsigned dy = 0; dy < dh; ++dy) {
    for (unsigned dx = 0; dx < dw; ++dx) {
      unsigned r = 0, g = 0, b = 0, a = 0;
      const unsigned y1 = std::min(sh, (dy + 1) << shift);
      const unsigned x1 = std::min(sw, (dx + 1) << shift);
      for (unsigned y = dy << shift; y < y1; ++y)
        for (unsigned x = dx << shift; x < x1; ++x) sample(x, y, r, g, b, a);
      uint8_t* q = out.data() + (size_t(dy) * width + dx) * 4;
      q[0] = uint8_t((r + area / 2) / area);
      q[1] = uint8_t((g + area / 2) / area);
      q[2] = uint8_t((b + area / 2) / area);
      q[3] = uint8_t((a + area / 2) / area);
    }
  }
  return out;
}

}  // namespace

std::optional<TextureData> Texture2D::imageData(const Image& image, float scale, unsigned maxSide) {
  if (image.empty() || image.rgba.size() < size_t(image.width) * size_t(image.height) * 4)
    return std::nullopt;
  if (maxSide == 0) maxSide = maxTextureSize();
  TextureData d;
  d.format = formatFor(image);
  d.contentSize = CGSize{float(image.width), float(image.height)};
  d.scale = scale > 0.f ? scale : 1.f;
  d.width = nextPowerOfTwo(unsigned(image.width));
  d.height = nextPowerOfTwo(unsigned(image.height));
  int shift = 0;
  while (d.width > maxSide || d.height > maxSide) {
    // Both sides are halved together. A side never drops below one pixel, so a very long thin
    // picture keeps a row (or column) instead of becoming an empty texture.
    d.width = std::max(1u, d.width >> 1);
    d.height = std::max(1u, d.height >> 1);
    d.contentSize.width *= 0.5f;
    d.contentSize.height *= 0.5f;
    d.scale *= 0.5f;  // fewer pixels for the same picture in points
    ++shift;
  }
  const size_t count = size_t(d.width) * d.height;
  switch (d.format) {
    case TexturePixelFormat::RGBA8888: {
      d.pixels = drawScaled(image, d.width, d.height, shift, true);
      break;
    }
    case TexturePixelFormat::RGB565: {
      std::vector<uint8_t> rgbx = drawScaled(image, d.width, d.height, shift, false);
      d.pixels.resize(count * 2);
      for (size_t i = 0; i < count; ++i) {
        const uint16_t v = toRGB565(rgbx[i * 4], rgbx[i * 4 + 1], rgbx[i * 4 + 2]);
        std::memcpy(d.pixels.data() + i * 2, &v, 2);
      }
      break;
    }
    case TexturePixelFormat::A8: {
      // A mask keeps its coverage in the alpha byte.
      std::vector<uint8_t> rgba = drawScaled(image, d.width, d.height, shift, true);
      d.pixels.resize(count);
      for (size_t i = 0; i < count; ++i) d.pixels[i] = rgba[i * 4 + 3];
      break;
    }
    default:
      raise(kInternalInconsistency, "Invalid pixel format");
  }
  return d;
}

TextureData Texture2D::textData(const std::string& string, CGSize dimensions, int alignment,
                                const std::string& fontName, float fontSize, float scale) {
  TextureData d;
  d.format = TexturePixelFormat::A8;
  d.scale = scale > 0.f ? scale : 1.f;
  // The box in pixels. At one pixel a point the dimensions are used exactly as given.
  const CGSize box = d.scale == 1.f ? dimensions
                                    : CGSize{dimensions.width * d.scale, dimensions.height * d.scale};
  auto side = [](float v) { return v > 0.f ? nextPowerOfTwo(unsigned(v)) : 0u; };
  d.width = side(box.width);
  d.height = side(box.height);
  d.contentSize = box;
  d.pixels.assign(size_t(d.width) * d.height, 0);
  platform::drawString(string, d.pixels.data(), d.width, d.height, box, alignment, fontName,
                       fontSize * d.scale);
  return d;
}

Texture2D::Texture2D(const void* data, TexturePixelFormat format, unsigned width, unsigned height,
                     CGSize contentSize) {
  create(data, format, width, height, contentSize, 1.f);
}

Texture2D::Texture2D(const TextureData& d) {
  create(d.pixels.data(), d.format, d.width, d.height, d.contentSize, d.scale);
}

Texture2D::Texture2D(const std::string& string, CGSize dimensions, int alignment,
                     const std::string& fontName, float fontSize)
    : Texture2D(textData(string, dimensions, alignment, fontName, fontSize, currentContentScale())) {
  _size = dimensions;  // exactly as given, whatever the rounding of the scaled box
}

Texture2D::Texture2D(Texture2D* atlas, unsigned x, unsigned y, unsigned w, unsigned h,
                     CGSize contentSize) {
  _size = contentSize;
  moveToAtlas(atlas, x, y, w, h);
}

void Texture2D::moveToAtlas(Texture2D* atlas, unsigned x, unsigned y, unsigned w, unsigned h) {
  if (_name != 0 && !atlas_) {
    // It had a GL texture of its own until now.
    const GLuint own = _name;
    glDeleteTextures(1, &own);
  }
  atlas_.reset(atlas);
  _name = atlas->_name;
  _width = atlas->_width;
  _height = atlas->_height;
  _format = atlas->_format;
  _scale = _size.width > 0.f ? float(w) / _size.width : 1.f;
  const float pw = float(_width), ph = float(_height);
  _minS = float(x) / pw;
  _minT = float(y) / ph;
  _maxS = float(x + w) / pw;
  _maxT = float(y + h) / ph;
}

Ref<Texture2D> Texture2D::initWithAtlas(Texture2D* atlas, unsigned x, unsigned y, unsigned w,
                                        unsigned h, CGSize contentSize) {
  if (!atlas || atlas->atlas_ || x + w > atlas->_width || y + h > atlas->_height) return nullptr;
  return Ref<Texture2D>(new Texture2D(atlas, x, y, w, h, contentSize));
}

Texture2D::~Texture2D() {
  if (_name != 0 && !atlas_) {
    GLuint n = _name;
    glDeleteTextures(1, &n);
  }
}

Ref<Texture2D> Texture2D::initWithString(const std::string& string, CGSize dimensions,
                                         int alignment, const std::string& fontName,
                                         float fontSize) {
  return make<Texture2D>(string, dimensions, alignment, fontName, fontSize);
}

Ref<Texture2D> Texture2D::initWithImage(const Image* image, float scale) {
  std::optional<TextureData> d;
  if (image) d = imageData(*image, scale);
  if (!d) {
    engineLog("Image is Null");
    return nullptr;
  }
  return Ref<Texture2D>(new Texture2D(*d));
}

void Texture2D::create(const void* data, TexturePixelFormat format, unsigned width,
                       unsigned height, CGSize contentSize, float scale) {
  if (_name == 0) {
    GLuint n = 0;
    glGenTextures(1, &n);
    _name = n;
  }
  GLint saved = 0;
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &saved);
  glBindTexture(GL_TEXTURE_2D, _name);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  // Rows are tightly packed; narrow A8 and RGB565 rows are not 4-byte aligned.
  GLint unpack = 4;
  glGetIntegerv(GL_UNPACK_ALIGNMENT, &unpack);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  switch (format) {
    case TexturePixelFormat::RGBA8888:
      glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, GLsizei(width), GLsizei(height), 0, GL_RGBA,
                   GL_UNSIGNED_BYTE, data);
      break;
    case TexturePixelFormat::RGB565:
      glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, GLsizei(width), GLsizei(height), 0, GL_RGB,
                   GL_UNSIGNED_SHORT_5_6_5, data);
      break;
    case TexturePixelFormat::A8:
      glTexImage2D(GL_TEXTURE_2D, 0, GL_ALPHA, GLsizei(width), GLsizei(height), 0, GL_ALPHA,
                   GL_UNSIGNED_BYTE, data);
      break;
    default:
      glPixelStorei(GL_UNPACK_ALIGNMENT, unpack);
      glBindTexture(GL_TEXTURE_2D, GLuint(saved));
      // The destructor does not run for a constructor that raises: give the name back here.
      {
        const GLuint doomed = _name;
        glDeleteTextures(1, &doomed);
      }
      _name = 0;
      raise(kInternalInconsistency, "");
  }
  glPixelStorei(GL_UNPACK_ALIGNMENT, unpack);
  glBindTexture(GL_TEXTURE_2D, GLuint(saved));
  _scale = scale > 0.f ? scale : 1.f;
  _size = _scale == 1.f ? contentSize : CGSize{contentSize.width / _scale, contentSize.height / _scale};
  _width = width;
  _height = height;
  _format = format;
  _maxS = width ? contentSize.width / float(width) : 0.f;
  _maxT = height ? contentSize.height / float(height) : 0.f;
}

void Texture2D::replaceContents(const TextureData& d) {
  const CGSize points = _size;
  if (atlas_) {
    // The atlas's GL texture is not this picture's to replace: take a texture of its own.
    atlas_ = nullptr;
    _name = 0;
    _minS = _minT = 0.f;
  }
  create(d.pixels.data(), d.format, d.width, d.height, d.contentSize, d.scale);
  _size = points;  // the same picture: its size in points does not move
}

std::string Texture2D::description() const {
  char buf[160];
  std::snprintf(buf, sizeof buf,
                "<Texture2D = %08" PRIXPTR " | Name = %i | Dimensions = %ix%i | Coordinates = (%.2f, %.2f)>",
                reinterpret_cast<uintptr_t>(this), int(_name), int(_width), int(_height),
                double(_maxS), double(_maxT));
  return buf;
}

void Texture2D::drawAtPoint(CGPoint p) const {
  QuadBatch::flush();
  const GLfloat w = _size.width;
  const GLfloat h = _size.height;
  const GLfloat vertices[] = {p.x, p.y, 0.f, p.x + w, p.y, 0.f, p.x, p.y + h, 0.f, p.x + w, p.y + h, 0.f};
  const GLfloat coords[] = {_minS, _maxT, _maxS, _maxT, _minS, _minT, _maxS, _minT};
  glBindTexture(GL_TEXTURE_2D, _name);
  glVertexPointer(3, GL_FLOAT, 0, vertices);
  glTexCoordPointer(2, GL_FLOAT, 0, coords);
  glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
}

void Texture2D::drawInRect(CGRect r) const {
  const GLfloat x0 = r.origin.x, y0 = r.origin.y;
  const GLfloat x1 = r.origin.x + r.size.width, y1 = r.origin.y + r.size.height;
  QuadBatch::flush();
  const GLfloat vertices[] = {x0, y0, 0.f, x1, y0, 0.f, x0, y1, 0.f, x1, y1, 0.f};
  const GLfloat coords[] = {_minS, _maxT, _maxS, _maxT, _minS, _minT, _maxS, _minT};
  glBindTexture(GL_TEXTURE_2D, _name);
  glVertexPointer(3, GL_FLOAT, 0, vertices);
  glTexCoordPointer(2, GL_FLOAT, 0, coords);
  glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
}

}  // namespace peckish
