#pragma once
// Texture2D: the one wrapper of a GL texture. Sides are powers of two; the useful picture lies
// in texture space from (minS, minT) to (maxS, maxT), its top row at t = minT. Textures are made
// from raw pixels, from a decoded image, or from a string drawn in a font, and are immutable
// afterwards. A texture made by the atlas describes a sub-rectangle of a GL texture it shares
// with other pictures (atlas() is then the texture that owns the GL name); every other texture
// owns its GL texture and starts at (0, 0).
//
// Sizes a node sees (contentSize, drawing) are in points; a texture may hold more pixels than
// points (a picture variant made for a high-resolution display, text rasterised at the content
// scale): contentScale() is its pixels per point.
//
// Buffers handed to the GL are row-major, tightly packed, top row first:
//   RGBA8888  bytes R, G, B, A with colour premultiplied by alpha (images with alpha)
//   RGB565    16-bit (R >> 3) << 11 | (G >> 2) << 5 | (B >> 3) (images without alpha)
//   A8        one coverage byte (masks and all text; the colour comes from the GL colour)
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/Object.h"
#include "math/Vec2.h"

namespace peckish {

namespace platform {
struct Image;
}

enum class TexturePixelFormat : int32_t {
  RGBA8888 = 1,
  RGB565 = 2,
  A8 = 3,
};

// The largest texture side the GL takes (GL_MAX_TEXTURE_SIZE of the current context, asked once);
// 1024 while no context can say. Larger pictures are halved until they fit.
unsigned maxTextureSize();

// n unchanged when it is 0, 1 or a power of two, else the next power of two.
unsigned nextPowerOfTwo(unsigned n);

// The pixel buffer a texture is uploaded from, with its geometry.
struct TextureData {
  TexturePixelFormat format = TexturePixelFormat::RGBA8888;
  unsigned width = 0;   // texture side in pixels (power of two)
  unsigned height = 0;
  CGSize contentSize;   // the picture's size in pixels (halved along with the sides)
  float scale = 1.f;    // pixels of contentSize per point (halved along with the sides)
  std::vector<uint8_t> pixels;
};

class Texture2D : public Object {
 public:
  // The designated initialiser: uploads width x height pixels of the given format (copied, not
  // kept). An unknown format raises NSInternalInconsistencyException with an empty reason.
  Texture2D(const void* data, TexturePixelFormat format, unsigned width, unsigned height,
            CGSize contentSize);
  // Renders a string into an A8 texture at the Director's content scale: the box `dimensions`
  // (points) times the scale, truncated and raised to powers of two (no maximum). The text is laid
  // out in the box with word wrapping and the alignment (0 left, 1 centred, 2 right) at the font
  // size times the scale; the content size is `dimensions` unchanged (points).
  Texture2D(const std::string& string, CGSize dimensions, int alignment,
            const std::string& fontName, float fontSize);
  ~Texture2D() override;

  // Factory forms of the initialisers.
  static Ref<Texture2D> initWithString(const std::string& string, CGSize dimensions, int alignment,
                                       const std::string& fontName, float fontSize);
  // A texture from a decoded image made at `scale` pixels per point (2 for a "@2x" picture), so
  // its content size in points is the image's size divided by the scale; null (logging "Image is
  // Null") when there is no image (a null pointer or an empty picture).
  static Ref<Texture2D> initWithImage(const platform::Image* image, float scale = 1.f);

  // The picture in the pixel rectangle (x, y, w, h) of `atlas` (origin at its top-left texel),
  // shown at `contentSize`. The new texture shares the atlas's GL name and keeps the atlas alive.
  static Ref<Texture2D> initWithAtlas(Texture2D* atlas, unsigned x, unsigned y, unsigned w,
                                      unsigned h, CGSize contentSize);

  // The buffer initWithImage uploads, built without touching the GL (nullopt for an empty image).
  // Sides above maxSide (0: maxTextureSize()) halve the picture until it fits.
  // Raises NSInternalInconsistencyException "Invalid pixel format" for an unknown format.
  static std::optional<TextureData> imageData(const platform::Image& image, float scale = 1.f,
                                              unsigned maxSide = 0);
  // The A8 buffer the text initialiser uploads, rasterised at `scale` pixels per point.
  static TextureData textData(const std::string& string, CGSize dimensions, int alignment,
                              const std::string& fontName, float fontSize, float scale = 1.f);

  uint32_t name() const { return _name; }
  // The picture's size in points.
  CGSize contentSize() const { return _size; }
  // Pixels of the picture per point, and its size in pixels (maxS x pixelsWide, ...).
  float contentScale() const { return _scale; }
  CGSize contentSizeInPixels() const { return CGSize{_size.width * _scale, _size.height * _scale}; }
  unsigned pixelsWide() const { return _width; }
  unsigned pixelsHigh() const { return _height; }
  TexturePixelFormat pixelFormat() const { return _format; }
  float maxS() const { return _maxS; }
  float maxT() const { return _maxT; }
  // The picture's top-left corner in texture space: (0, 0) unless the texture lies in an atlas.
  float minS() const { return _minS; }
  float minT() const { return _minT; }
  // The texture that owns the shared GL texture, or null when this texture owns its own.
  Texture2D* atlas() const { return atlas_.get(); }

  // "<Texture2D = 0x... | Name = n | Dimensions = wxh | Coordinates = (s, t)>"
  std::string description() const;

  // Draw the picture as one quad with its lower-left corner at the point (covering the content
  // size in points), or stretched over the rectangle. The caller enables the vertex and
  // texture-coordinate arrays and 2-D texturing; the picture's top edge is drawn at the larger y.
  // Textured nodes queued for a batched draw are drawn first, so the order on screen is kept.
  void drawAtPoint(CGPoint point) const;
  void drawInRect(CGRect rect) const;

 private:
  friend class TextureMgr;
  explicit Texture2D(const TextureData& data);
  Texture2D(Texture2D* atlas, unsigned x, unsigned y, unsigned w, unsigned h, CGSize contentSize);
  void create(const void* data, TexturePixelFormat format, unsigned width, unsigned height,
              CGSize contentSize, float scale);
  // The texture cache swaps in another variant of the same picture (same size in points) when the
  // content scale changes; the GL name stays (a picture that was in an atlas gets a GL texture of
  // its own).
  void replaceContents(const TextureData& data);
  // Points the texture at another rectangle of an atlas (the cache's other variant of the same
  // picture, packed); the size in points stays.
  void moveToAtlas(Texture2D* atlas, unsigned x, unsigned y, unsigned w, unsigned h);

  uint32_t _name = 0;
  CGSize _size;
  unsigned _width = 0;
  unsigned _height = 0;
  TexturePixelFormat _format = TexturePixelFormat::RGBA8888;
  float _maxS = 0.f;
  float _maxT = 0.f;
  float _scale = 1.f;
  float _minS = 0.f;
  float _minT = 0.f;
  Ref<Texture2D> atlas_;
};

}  // namespace peckish
