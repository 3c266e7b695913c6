// Textures from images and text, their buffers and GL drawing, and the texture cache.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <vector>
#include <fstream>
#include <regex>

#include "TextureTestSupport.h"
#include "core/Exception.h"
#include "core/Log.h"
#include "engine/render/Texture2D.h"
#include "engine/render/TextureAtlas.h"
#include "engine/render/TextureMgr.h"
#include "platform/Image.h"
#include "platform/TextRaster.h"

namespace peckish::test {
namespace {

class TextureTest : public ::testing::Test {
 protected:
  void TearDown() override { TextureMgr::purgeShared(); }
  GLTarget gl;
  TempFolder dir;
};

uint16_t texel565(const TextureData& d, unsigned x, unsigned y) {
  uint16_t v;
  std::memcpy(&v, d.pixels.data() + (size_t(y) * d.width + x) * 2, 2);
  return v;
}
uint32_t texel8888(const TextureData& d, unsigned x, unsigned y) {
  const uint8_t* p = d.pixels.data() + (size_t(y) * d.width + x) * 4;
  return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}

TEST(TextureSizes, RoundsToPowersOfTwo) {
  EXPECT_EQ(nextPowerOfTwo(0), 0u);
  EXPECT_EQ(nextPowerOfTwo(1), 1u);
  EXPECT_EQ(nextPowerOfTwo(2), 2u);
  EXPECT_EQ(nextPowerOfTwo(3), 4u);
  EXPECT_EQ(nextPowerOfTwo(100), 128u);
  EXPECT_EQ(nextPowerOfTwo(300), 512u);
  EXPECT_EQ(nextPowerOfTwo(1024), 1024u);
  EXPECT_EQ(nextPowerOfTwo(1025), 2048u);
}

TEST_F(TextureTest, ImageGeometryFollowsPowerOfTwoAndSizeLimit) {
  REQUIRE_GL(gl);
  // The limit is the driver's.
  GLint driverMax = 0;
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &driverMax);
  EXPECT_EQ(maxTextureSize(), unsigned(driverMax));
  ASSERT_GE(maxTextureSize(), 2048u);
  struct Case {
    int w, h;
    unsigned maxSide;
    unsigned texW, texH;
    float contentW, contentH;  // pixels
    float scale;               // pixels per point
  };
  const Case cases[] = {
      {300, 200, 0, 512, 256, 300, 200, 1},
      {2000, 100, 0, 2048, 128, 2000, 100, 1},
      {2000, 100, 1024, 1024, 64, 1000, 50, 0.5f},  // 2048 x 128, halved once
      {1024, 1024, 1024, 1024, 1024, 1024, 1024, 1},
      {1025, 1025, 1024, 1024, 1024, 512.5f, 512.5f, 0.5f},
      {1, 1, 0, 1, 1, 1, 1, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.w) + "x" + std::to_string(c.h) + " max " + std::to_string(c.maxSide));
    platform::Image img = solidImage(c.w, c.h, 0x336699FF);
    std::optional<TextureData> d = Texture2D::imageData(img, 1.f, c.maxSide);
    ASSERT_TRUE(d);
    EXPECT_EQ(d->width, c.texW);
    EXPECT_EQ(d->height, c.texH);
    EXPECT_EQ(d->contentSize, CGSizeMake(c.contentW, c.contentH));
    EXPECT_EQ(d->scale, c.scale);
    if (c.maxSide != 0) continue;
    Ref<Texture2D> t = Texture2D::initWithImage(&img);
    ASSERT_TRUE(t);
    EXPECT_NE(t->name(), 0u);
    EXPECT_EQ(t->pixelsWide(), c.texW);
    EXPECT_EQ(t->pixelsHigh(), c.texH);
    EXPECT_EQ(t->contentSize(), CGSizeMake(c.contentW, c.contentH));
    EXPECT_EQ(t->pixelFormat(), TexturePixelFormat::RGBA8888);
    EXPECT_FLOAT_EQ(t->maxS(), c.contentW / float(c.texW));
    EXPECT_FLOAT_EQ(t->maxT(), c.contentH / float(c.texH));
  }
  platform::Image img = solidImage(300, 200, 0xFFFFFFFF);
  Ref<Texture2D> t = Texture2D::initWithImage(&img);
  EXPECT_EQ(t->maxS(), 0.5859375f);
  EXPECT_EQ(t->maxT(), 0.78125f);
  // A picture made at two pixels a point has half its pixel size in points.
  Ref<Texture2D> sharp = Texture2D::initWithImage(&img, 2.f);
  EXPECT_EQ(sharp->contentSize(), CGSizeMake(150, 100));
  EXPECT_EQ(sharp->contentSizeInPixels(), CGSizeMake(300, 200));
  EXPECT_EQ(sharp->maxS(), 0.5859375f);
}

TEST(TextureBuffers, OpaqueImageBecomesRGB565) {
  platform::Image img = makeImage(3, 2, [](int x, int y) {
    return x == 0 && y == 0 ? 0xFF8007FFu : 0xFFFFFFFFu;
  });
  img.alphaInfo = platform::ImageAlphaInfo::None;
  auto d = Texture2D::imageData(img);
  ASSERT_TRUE(d);
  EXPECT_EQ(d->format, TexturePixelFormat::RGB565);
  EXPECT_EQ(d->width, 4u);
  EXPECT_EQ(d->height, 2u);
  ASSERT_EQ(d->pixels.size(), 4u * 2u * 2u);
  EXPECT_EQ(texel565(*d, 0, 0), 0xFC00);  // R 255, G 128, B 7
  EXPECT_EQ(texel565(*d, 1, 0), 0xFFFF);
  EXPECT_EQ(texel565(*d, 3, 0), 0x0000);  // padding is cleared
}

TEST(TextureBuffers, AlphaImageIsPremultipliedTopRowFirstAgainstTheTopLeft) {
  // Top row red, bottom row half-transparent blue.
  platform::Image img = makeImage(3, 3, [](int, int y) {
    return y == 0 ? 0xFF0000FFu : (y == 2 ? 0x0000FF80u : 0x00FF00FFu);
  });
  auto d = Texture2D::imageData(img);
  ASSERT_TRUE(d);
  EXPECT_EQ(d->format, TexturePixelFormat::RGBA8888);
  EXPECT_EQ(d->width, 4u);
  EXPECT_EQ(d->height, 4u);
  EXPECT_EQ(texel8888(*d, 0, 0), 0xFF0000FFu);
  EXPECT_EQ(texel8888(*d, 2, 1), 0x00FF00FFu);
  EXPECT_EQ(texel8888(*d, 1, 2), 0x00008080u);  // 255 * 128 / 255 premultiplied
  EXPECT_EQ(texel8888(*d, 3, 0), 0u);           // right padding
  EXPECT_EQ(texel8888(*d, 0, 3), 0u);           // bottom padding
}

TEST(TextureBuffers, MaskBecomesA8) {
  platform::Image img = makeImage(2, 1, [](int x, int) { return x == 0 ? 0x000000FFu : 0x00000040u; });
  img.colorSpace = false;
  auto d = Texture2D::imageData(img);
  ASSERT_TRUE(d);
  EXPECT_EQ(d->format, TexturePixelFormat::A8);
  ASSERT_EQ(d->pixels.size(), 2u);
  EXPECT_EQ(d->pixels[0], 0xFF);
  EXPECT_EQ(d->pixels[1], 0x40);
}

TEST(TextureBuffers, HalvedImageAveragesAndCoversPartialEdges) {
  // 2000 x 100: a one-pixel checkerboard of white and black averages to grey.
  platform::Image wide = makeImage(2000, 100, [](int x, int y) {
    return ((x + y) & 1) ? 0xFFFFFFFFu : 0x000000FFu;
  });
  auto d = Texture2D::imageData(wide, 1.f, 1024);
  ASSERT_TRUE(d);
  EXPECT_EQ(d->width, 1024u);
  EXPECT_EQ(d->height, 64u);
  const uint32_t mid = texel8888(*d, 500, 20);
  EXPECT_NEAR(red(mid), 128, 1);
  EXPECT_EQ(alpha(mid), 255);
  EXPECT_EQ(alpha(texel8888(*d, 999, 49)), 255);  // last content pixel
  EXPECT_EQ(texel8888(*d, 1000, 0), 0u);          // beyond the content
  EXPECT_EQ(texel8888(*d, 0, 50), 0u);

  // 1025 x 1025 opaque white: the last content column and row are half covered.
  auto big = Texture2D::imageData(solidImage(1025, 1025, 0xFFFFFFFFu), 1.f, 1024);
  ASSERT_TRUE(big);
  EXPECT_EQ(texel8888(*big, 511, 511), 0xFFFFFFFFu);
  EXPECT_NEAR(alpha(texel8888(*big, 512, 0)), 128, 1);
  EXPECT_NEAR(alpha(texel8888(*big, 0, 512)), 128, 1);
  EXPECT_NEAR(alpha(texel8888(*big, 512, 512)), 64, 1);
  EXPECT_EQ(texel8888(*big, 513, 0), 0u);
}

TEST_F(TextureTest, PngFilesChooseTheFormatByTheirAlphaChannel) {
  REQUIRE_GL(gl);
  platform::Image img = makeImage(5, 4, [](int x, int y) { return uint32_t(x * 40) << 24 | uint32_t(y * 50) << 16 | 0x10C0u; });
  struct Case {
    const char* name;
    int channels;
    TexturePixelFormat format;
  };
  const Case cases[] = {{"rgba.png", 4, TexturePixelFormat::RGBA8888},
                        {"rgb.png", 3, TexturePixelFormat::RGB565},
                        {"grey.png", 1, TexturePixelFormat::RGB565},
                        {"greyalpha.png", 2, TexturePixelFormat::RGBA8888}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    // A texture of its own: small pictures with alpha would otherwise go into the atlas.
    Texture2D* t = TextureMgr::sharedTextureMgr()->addImageUnpacked(writeImage(dir, c.name, img, c.channels));
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->pixelFormat(), c.format);
    EXPECT_EQ(t->pixelsWide(), 8u);
    EXPECT_EQ(t->pixelsHigh(), 4u);
    EXPECT_EQ(t->contentSize(), CGSizeMake(5, 4));
  }
  // An RGB file keeps its colours and reads back opaque.
  platform::Image back = platform::readPNG(dir.file("rgb.png"));
  ASSERT_FALSE(back.empty());
  EXPECT_EQ(back.alphaInfo, platform::ImageAlphaInfo::None);
  EXPECT_EQ(back.pixel(2, 3), img.pixel(2, 3) | 0xFFu);
}

TEST_F(TextureTest, CacheSharesOneTexturePerFileName) {
  REQUIRE_GL(gl);
  std::string path = writeImage(dir, "Star.png", solidImage(16, 16, 0xFFFF00FF));
  TextureMgr* mgr = TextureMgr::sharedTextureMgr();
  EXPECT_EQ(mgr, TextureMgr::sharedTextureMgr());
  Texture2D* a = mgr->addImage(path);
  Texture2D* b = mgr->addImage(path);
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a, b);
  EXPECT_EQ(mgr->count(), 1u);
  EXPECT_EQ(a->retainCount(), 1);  // the cache's reference only
}

TEST_F(TextureTest, UnloadableImagesAreNotCached) {
  REQUIRE_GL(gl);
  TextureMgr* mgr = TextureMgr::sharedTextureMgr();
  {
    LogCapture log;
    EXPECT_EQ(mgr->addImage(dir.file("Missing.png")), nullptr);
    EXPECT_TRUE(log.contains("Image is Null"));
  }
  std::ofstream(dir.file("Broken.png")) << "this is not a PNG file";
  {
    LogCapture log;
    EXPECT_EQ(mgr->addImage(dir.file("Broken.png")), nullptr);
    EXPECT_TRUE(log.contains("Image is Null"));
  }
  EXPECT_EQ(mgr->addImage("NoSuchResource.png"), nullptr);
  EXPECT_EQ(mgr->count(), 0u);
  // Nothing was remembered: once the file exists it loads.
  writeImage(dir, "Missing.png", solidImage(2, 2, 0xFFFFFFFF));
  EXPECT_NE(mgr->addImage(dir.file("Missing.png")), nullptr);
  EXPECT_EQ(mgr->count(), 1u);
}

TEST_F(TextureTest, NullOrEmptyImageGivesNoTexture) {
  LogCapture log;
  EXPECT_FALSE(Texture2D::initWithImage(nullptr));
  platform::Image empty;
  EXPECT_FALSE(Texture2D::initWithImage(&empty));
  EXPECT_EQ(log.count("Image is Null"), 2);
}

TEST_F(TextureTest, DesignatedInitialiserRejectsUnknownFormats) {
  REQUIRE_GL(gl);
  const auto liveTextures = [] {
    std::vector<GLuint> live;
    for (GLuint n = 1; n < 4096; ++n)
      if (glIsTexture(n)) live.push_back(n);
    return live;
  };
  const std::vector<GLuint> before = liveTextures();
  uint8_t px[4] = {};
  try {
    Texture2D t(px, TexturePixelFormat(0), 1, 1, CGSizeMake(1, 1));
    FAIL() << "no exception";
  } catch (const Exception& e) {
    EXPECT_EQ(e.name(), "NSInternalInconsistencyException");
    EXPECT_EQ(e.reason(), "");
  }
  GLint bound = -1;
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
  EXPECT_EQ(bound, 0);  // the previous binding is back
  EXPECT_EQ(liveTextures(), before) << "the texture name made for the refused data is given back";
}

TEST_F(TextureTest, DescriptionNamesTheGeometry) {
  REQUIRE_GL(gl);
  platform::Image img = solidImage(300, 200, 0xFFFFFFFF);
  Ref<Texture2D> t = Texture2D::initWithImage(&img);
  std::regex re("<Texture2D = [0-9A-F]{8,} \\| Name = [0-9]+ \\| Dimensions = 512x256 \\| "
                "Coordinates = \\(0\\.59, 0\\.78\\)>");
  EXPECT_TRUE(std::regex_match(t->description(), re)) << t->description();
}

TEST_F(TextureTest, TextTextureGeometry) {
  REQUIRE_GL(gl);
  Ref<Texture2D> t = Texture2D::initWithString("60.0", CGSizeMake(100, 30), 1, "Arial", 24);
  EXPECT_EQ(t->pixelFormat(), TexturePixelFormat::A8);
  EXPECT_EQ(t->pixelsWide(), 128u);
  EXPECT_EQ(t->pixelsHigh(), 32u);
  EXPECT_EQ(t->contentSize(), CGSizeMake(100, 30));
  Texture2D u("60.0", CGSizeMake(100.7f, 30), 1, "Arial", 24);
  EXPECT_EQ(u.pixelsWide(), 128u);
  EXPECT_EQ(u.contentSize().width, 100.7f);
  EXPECT_FLOAT_EQ(u.maxS(), 100.7f / 128.f);
}

// Ink bounds of an A8 buffer: first/last column and row with coverage.
struct Ink {
  int left = 1 << 30, right = -1, top = 1 << 30, bottom = -1;
  bool any() const { return right >= 0; }
};
Ink inkOf(const TextureData& d) {
  Ink k;
  for (unsigned y = 0; y < d.height; ++y)
    for (unsigned x = 0; x < d.width; ++x)
      if (d.pixels[size_t(y) * d.width + x] > 64) {
        k.left = std::min(k.left, int(x));
        k.right = std::max(k.right, int(x));
        k.top = std::min(k.top, int(y));
        k.bottom = std::max(k.bottom, int(y));
      }
  return k;
}

TEST(TextRaster, AlignsInsideTheBoxFromTheTop) {
  const CGSize box = CGSizeMake(200, 40);
  Ink left = inkOf(Texture2D::textData("Hi", box, platform::kTextAlignmentLeft, "Arial", 24));
  Ink centre = inkOf(Texture2D::textData("Hi", box, platform::kTextAlignmentCenter, "Arial", 24));
  Ink right = inkOf(Texture2D::textData("Hi", box, platform::kTextAlignmentRight, "Arial", 24));
  ASSERT_TRUE(left.any() && centre.any() && right.any());
  EXPECT_LT(left.left, 6);
  EXPECT_GT(right.right, 190);
  EXPECT_LE(right.right, 200);
  const int width = left.right - left.left;
  EXPECT_NEAR(centre.left, (200 - width) / 2, 4);
  // The first line sits in the first rows (top of the box), not at the bottom of the buffer.
  EXPECT_LT(left.top, 10);
  EXPECT_LT(left.bottom, 32);
}

TEST(TextRaster, WrapsWordsAndBreaksLines) {
  const CGSize narrow = CGSizeMake(60, 128);
  Ink one = inkOf(Texture2D::textData("Peck", narrow, 0, "Verdana", 16));
  Ink two = inkOf(Texture2D::textData("Peck Peck", narrow, 0, "Verdana", 16));
  Ink newline = inkOf(Texture2D::textData("A\nB", CGSizeMake(200, 128), 0, "Verdana", 16));
  ASSERT_TRUE(one.any() && two.any() && newline.any());
  EXPECT_GT(two.bottom, one.bottom + 10);  // the second word went to a second line
  EXPECT_LE(two.right, 60);
  EXPECT_GT(newline.bottom, one.bottom + 10);
  // A word wider than the box is broken between characters rather than drawn past it.
  Ink longWord = inkOf(Texture2D::textData("Cockadoodledoo", CGSizeMake(50, 128), 0, "Verdana", 16));
  EXPECT_LE(longWord.right, 50);
  EXPECT_GT(longWord.bottom, one.bottom + 10);
  // Lines that do not fit the box height after the first are left out.
  Ink clipped = inkOf(Texture2D::textData("A\nB\nC", CGSizeMake(100, 20), 0, "Verdana", 16));
  EXPECT_LT(clipped.bottom, 20);
}

TEST(TextRaster, EmptyTextAndUnknownFontsAreHarmless) {
  TextureData d = Texture2D::textData("", CGSizeMake(20, 10), 1, "Arial", 12);
  EXPECT_EQ(d.width, 32u);
  EXPECT_EQ(d.height, 16u);
  EXPECT_FALSE(inkOf(d).any());
  EXPECT_TRUE(inkOf(Texture2D::textData("x", CGSizeMake(32, 32), 0, "No Such Font", 20)).any());
  EXPECT_FALSE(platform::findFont("No Such Font").path.empty());
}

TEST(TextRaster, GameFontsMapToShippedFaces) {
  platform::FontFile marker = platform::findFont("Marker Felt");
  EXPECT_EQ(marker.family, "Comic Neue");
  EXPECT_NE(marker.style.find("Bold"), std::string::npos) << marker.style;
  EXPECT_EQ(platform::findFont("Arial").family, "Liberation Sans");
  EXPECT_EQ(platform::findFont("Verdana").family, "DejaVu Sans");
}

TEST(TextRaster, SameFacesWithoutTheResourceFontConfiguration) {
  TempFolder empty;
  const char* old = std::getenv("PECKISH_RESOURCES");
  const std::string saved = old ? old : "";
  setenv("PECKISH_RESOURCES", empty.path().c_str(), 1);
  platform::reloadFonts();
  platform::FontFile marker = platform::findFont("Marker Felt");
  std::string arial = platform::findFont("Arial").family;
  std::string verdana = platform::findFont("Verdana").family;
  if (old) setenv("PECKISH_RESOURCES", saved.c_str(), 1);
  else unsetenv("PECKISH_RESOURCES");
  platform::reloadFonts();
  EXPECT_EQ(marker.family, "Comic Neue");
  EXPECT_NE(marker.style.find("Bold"), std::string::npos) << marker.style;
  EXPECT_EQ(arial, "Liberation Sans");
  EXPECT_EQ(verdana, "DejaVu Sans");
}

TEST_F(TextureTest, DrawAtPointCoversTheContentSize) {
  REQUIRE_GL(gl);
  // A 100 x 30 white picture in a 128 x 32 texture; its top row is red.
  std::vector<uint8_t> px(128 * 32 * 4, 0);
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 100; ++x) {
      uint8_t* p = &px[(size_t(y) * 128 + x) * 4];
      p[0] = 255;
      p[1] = p[2] = (y == 0 ? 0 : 255);
      p[3] = 255;
    }
  Texture2D t(px.data(), TexturePixelFormat::RGBA8888, 128, 32, CGSizeMake(100, 30));
  glEnableClientState(GL_VERTEX_ARRAY);
  glEnableClientState(GL_TEXTURE_COORD_ARRAY);
  glEnable(GL_TEXTURE_2D);
  t.drawAtPoint(CGPointMake(60, 20));
  EXPECT_EQ(gl.pixel(60, 20), 0xFFFFFFFFu);
  EXPECT_EQ(gl.pixel(159, 48), 0xFFFFFFFFu);
  EXPECT_EQ(gl.pixel(100, 49), 0xFF0000FFu);  // the picture's top row at the larger y
  EXPECT_EQ(gl.pixel(59, 30), 0u);
  EXPECT_EQ(gl.pixel(160, 30), 0u);
  EXPECT_EQ(gl.pixel(100, 19), 0u);
  EXPECT_EQ(gl.pixel(100, 50), 0u);
  EXPECT_EQ(gl.litPixels(50, 10, 170, 60), 100 * 30);

  // drawInRect stretches the same content over the rectangle.
  gl.clear();
  t.drawInRect(CGRectMake(10, 10, 200, 60));
  EXPECT_EQ(gl.litPixels(0, 0, 256, 128), 200 * 60);
  EXPECT_GT(red(gl.pixel(110, 69)), 150);  // red top row, blended with the padding at the edge
  EXPECT_EQ(green(gl.pixel(110, 69)), 0);
  EXPECT_EQ(gl.pixel(110, 40), 0xFFFFFFFFu);
  glDisable(GL_TEXTURE_2D);
  glDisableClientState(GL_VERTEX_ARRAY);
  glDisableClientState(GL_TEXTURE_COORD_ARRAY);
}

TEST_F(TextureTest, AtlasPacksSmallPicturesOfAnyScaleAndKeepsTheRestApart) {
  REQUIRE_GL(gl);
  Ref<TextureAtlas> atlas = TextureAtlas::atlas();
  struct Case {
    const char* name;
    int w, h;
    bool alpha;
    float scale;
    bool packed;
    CGSize points;
  };
  const Case cases[] = {
      {"small, 1x", 40, 30, true, 1.f, true, {40, 30}},
      {"small, 2x", 200, 100, true, 2.f, true, {100, 50}},
      {"small, 4x", 400, 400, true, 4.f, true, {100, 100}},
      {"128 points at 4x", 512, 64, true, 4.f, true, {128, 16}},
      {"a background", 480, 320, true, 1.f, false, {}},
      {"large at 2x", 300, 100, true, 2.f, false, {}},
      {"no alpha", 30, 30, false, 1.f, false, {}},
  };
  std::vector<Ref<Texture2D>> kept;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    platform::Image img = solidImage(c.w, c.h, 0x20C040FFu);
    if (!c.alpha) img.alphaInfo = platform::ImageAlphaInfo::None;
    Ref<Texture2D> t = atlas->add(img, c.scale);
    EXPECT_EQ(atlas->accepts(img, c.scale), c.packed);
    if (!c.packed) {
      EXPECT_EQ(t, nullptr);
      continue;
    }
    ASSERT_NE(t, nullptr);
    ASSERT_EQ(atlas->pageCount(), 1u);
    EXPECT_EQ(t->atlas(), atlas->page(0));
    EXPECT_EQ(t->name(), atlas->page(0)->name());
    EXPECT_EQ(t->contentSize(), c.points);
    EXPECT_EQ(t->pixelFormat(), TexturePixelFormat::RGBA8888);
    // The rectangle holds the picture's pixels, texel for texel.
    EXPECT_FLOAT_EQ((t->maxS() - t->minS()) * float(t->pixelsWide()), float(c.w));
    EXPECT_FLOAT_EQ((t->maxT() - t->minT()) * float(t->pixelsHigh()), float(c.h));
    for (const Ref<Texture2D>& other : kept) {
      const bool apart = t->minS() >= other->maxS() || other->minS() >= t->maxS() ||
                         t->minT() >= other->maxT() || other->minT() >= t->maxT();
      EXPECT_TRUE(apart) << "overlaps an earlier picture";
    }
    kept.push_back(t);
  }
  // A full page opens the next one: 125 points at 4x take a quarter of a page each.
  Ref<TextureAtlas> big = TextureAtlas::atlas();
  for (int i = 0; i < 5; ++i) ASSERT_NE(big->add(solidImage(500, 500, 0xFFFFFFFFu), 4.f), nullptr);
  EXPECT_EQ(big->pageCount(), 2u);
  // The pages live as long as a picture on them does.
  Ref<Texture2D> last = big->add(solidImage(8, 8, 0xFFFFFFFFu));
  Texture2D* page = last->atlas();
  big = nullptr;
  EXPECT_GE(page->retainCount(), 1);
  EXPECT_NE(page->name(), 0u);
}

TEST_F(TextureTest, PackedPicturesDrawLikePicturesOfTheirOwn) {
  REQUIRE_GL(gl);
  const std::string file = writeImage(dir, "Ramp.png", makeImage(30, 20, [](int x, int y) {
    return uint32_t(x * 8) << 24 | uint32_t(y * 12) << 16 | 0x4000u | uint32_t(x < 3 ? 0x60 : 0xFF);
  }));
  TextureMgr* mgr = TextureMgr::sharedTextureMgr();
  Texture2D* packed = mgr->addImage(file);
  Texture2D* alone = mgr->addImageUnpacked(file);
  ASSERT_NE(packed, nullptr);
  ASSERT_NE(alone, nullptr);
  EXPECT_EQ(packed->atlas(), mgr->atlas()->page(0));
  EXPECT_EQ(alone->atlas(), nullptr);
  EXPECT_NE(packed, alone);
  EXPECT_EQ(packed->contentSize(), alone->contentSize());
  EXPECT_EQ(mgr->addImage(file), packed);
  EXPECT_EQ(mgr->addImageUnpacked(file), alone);

  // Each way of drawing, with either texture, into the same place: the same pixels.
  const std::function<void(const Texture2D*)> draws[] = {
      [](const Texture2D* t) { t->drawAtPoint(CGPointMake(10, 10)); },
      [](const Texture2D* t) { t->drawInRect(CGRectMake(7, 5, 75, 44)); },
  };
  glEnable(GL_TEXTURE_2D);
  glEnableClientState(GL_VERTEX_ARRAY);
  glEnableClientState(GL_TEXTURE_COORD_ARRAY);
  for (const auto& draw : draws) {
    std::vector<uint32_t> seen[2];
    for (int i = 0; i < 2; ++i) {
      gl.clear();
      draw(i == 0 ? packed : alone);
      for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 90; ++x) seen[i].push_back(gl.pixel(x, y));
    }
    int worst = 0;
    for (size_t i = 0; i < seen[0].size(); ++i) {
      const uint32_t p = seen[0][i], q = seen[1][i];
      worst = std::max({worst, std::abs(red(p) - red(q)), std::abs(green(p) - green(q)),
                        std::abs(blue(p) - blue(q)), std::abs(alpha(p) - alpha(q))});
    }
    EXPECT_LE(worst, 2);
    EXPECT_GT(std::count_if(seen[0].begin(), seen[0].end(), [](uint32_t p) { return p != 0; }), 500);
  }
  glDisableClientState(GL_TEXTURE_COORD_ARRAY);
  glDisableClientState(GL_VERTEX_ARRAY);
  glDisable(GL_TEXTURE_2D);
}

TEST_F(TextureTest, PackedPicturesStayTogetherWhenTheScaleChanges) {
  REQUIRE_GL(gl);
  // A's 4x variant takes half a page's width: switching back and forth must not pile the
  // variants up until the pictures spill onto pages of their own.
  writeImage(dir, "A.png", solidImage(125, 125, 0xFF0000FFu));
  writeImage(dir, "A@4x.png", solidImage(500, 500, 0xFF0000FFu));
  writeImage(dir, "B.png", solidImage(100, 50, 0x00FF00FFu));
  writeImage(dir, "B@2x.png", solidImage(200, 100, 0x00FF00FFu));
  writeImage(dir, "C.png", solidImage(30, 5, 0x0000FFFFu));
  TextureMgr* mgr = TextureMgr::sharedTextureMgr();
  Texture2D* a = mgr->addImage(dir.file("A.png"));
  Texture2D* b = mgr->addImage(dir.file("B.png"));
  Texture2D* c = mgr->addImage(dir.file("C.png"));
  ASSERT_TRUE(a && b && c);
  for (float scale : {4.f, 2.f, 1.f, 4.f, 2.f, 4.f, 1.f, 4.f}) {
    SCOPED_TRACE(scale);
    mgr->contentScaleChanged(scale);
    // One page for all three, whichever variants they now show, at their sizes in points.
    ASSERT_NE(a->atlas(), nullptr);
    EXPECT_EQ(b->atlas(), a->atlas());
    EXPECT_EQ(c->atlas(), a->atlas());
    EXPECT_EQ(mgr->atlas()->pageCount(), 1u);
    EXPECT_EQ(a->contentSize(), CGSizeMake(125, 125));
    EXPECT_EQ(b->contentSize(), CGSizeMake(100, 50));
    EXPECT_EQ(c->contentSize(), CGSizeMake(30, 5));
    const float av = scale == 4.f ? 4.f : 1.f, bv = scale == 1.f ? 1.f : 2.f;
    EXPECT_EQ(a->contentSizeInPixels(), CGSizeMake(125 * av, 125 * av));
    EXPECT_EQ(b->contentSizeInPixels(), CGSizeMake(100 * bv, 50 * bv));
    EXPECT_EQ(c->contentSizeInPixels(), CGSizeMake(30, 5));
  }
}

}  // namespace
}  // namespace peckish::test
