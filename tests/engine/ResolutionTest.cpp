// Rendering at more pixels than points: the Director's content scale, picture variants, text and
// point sprites at that scale, and the surface following the screen.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "StageTestSupport.h"
#include "TextureTestSupport.h"
#include "engine/render/Label.h"
#include "engine/particles/ParticleSystem.h"
#include "engine/render/Sprite.h"
#include "engine/render/Texture2D.h"
#include "engine/render/TextureMgr.h"
#include "platform/Display.h"
#include "platform/Window.h"

namespace peckish::test {
namespace {

// One white particle that stays where it is born, 20 points wide.
class StillParticle : public ParticleSystem {
 public:
  explicit StillParticle(const std::string& picture) : ParticleSystem(1) {
    duration_ = -1;
    life_ = 1000;
    size_ = 20;
    emissionRate_ = 10;
    startColor_ = endColor_ = sColorF{1, 1, 1, 1};
    setTextureFromFile(picture.c_str());
  }
};

// A rectangle in landscape points.
struct Box {
  float left = 1e9f, bottom = 1e9f, right = -1e9f, top = -1e9f;
  bool empty() const { return right < left; }
};

class ResolutionTest : public StageTest {
 protected:
  void SetUp() override {
    StageTest::SetUp();
    ParticleSystem::resetLastStepTime();
  }
  void TearDown() override {
    TextureMgr::purgeShared();
    ParticleSystem::resetLastStepTime();
    StageTest::TearDown();
  }
  // The picture at every variant, in one colour.
  std::string pictures(const std::string& base, int w, int h, uint32_t rgba, std::vector<int> variants) {
    for (int v : variants)
      writeImage(dir, TextureMgr::variantName(base + ".png", v), solidImage(w * v, h * v, rgba));
    return dir.file(base + ".png");
  }
  // The landscape points covered by surface pixels for which `match` holds.
  Box find(const std::function<bool(uint32_t)>& match) {
    const float s = director->contentScaleFactor();
    const int w = int(director->surfaceSize().width), h = int(director->surfaceSize().height);
    std::vector<uint8_t> px(size_t(w) * h * 4);
    director->setCurrentContext();
    glBindFramebufferOES(GL_FRAMEBUFFER_OES, director->framebuffer());
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, w, h, GL_RGBA, GL_UNSIGNED_BYTE, px.data());
    Box b;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const uint8_t* p = &px[(size_t(y) * w + x) * 4];
        if (!match((uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8))) continue;
        // Portrait GL pixel (x, y) shows landscape points x' = 480 - y / s, y' = x / s.
        b.left = std::min(b.left, 480.f - float(y + 1) / s);
        b.right = std::max(b.right, 480.f - float(y) / s);
        b.bottom = std::min(b.bottom, float(x) / s);
        b.top = std::max(b.top, float(x + 1) / s);
      }
    return b;
  }

  TempFolder dir;
};

bool isRed(uint32_t c) { return red(c) > 100 && green(c) < 60 && blue(c) < 60; }
bool isGreen(uint32_t c) { return green(c) > 100 && red(c) < 60 && blue(c) < 60; }
bool isWhite(uint32_t c) { return red(c) > 100 && green(c) > 100 && blue(c) > 100; }

TEST_F(ResolutionTest, SpriteLabelAndParticleKeepTheirPlaceInPointsAtEveryScale) {
  auto scene = Scene::node();
  auto sprite = Sprite::spriteFromFile(pictures("Box", 40, 20, 0xFF0000FF, {1, 2, 4}));
  ASSERT_TRUE(sprite);
  sprite->setPosition(Vec2(100, 100));
  scene->add(sprite);
  auto label = Label::labelWithString("Wide", CGSizeMake(120, 40), 1, "Arial", 24);
  label->setRGB(0, 255, 0);
  label->setPosition(Vec2(240, 250));
  scene->add(label);
  auto particle = make<StillParticle>(pictures("Dot", 8, 8, 0xFFFFFFFF, {1}));
  particle->setPosition(Vec2(400, 200));
  scene->add(particle);
  run(scene);
  frame(0.2);  // the first particle step in the process only starts the clock; this one emits

  Box labelAt1, particleAt1;
  for (float s : {1.f, 2.f, 4.f}) {
    SCOPED_TRACE(s);
    director->setContentScaleFactor(s);
    frame(0.0);
    EXPECT_EQ(director->surfaceSize(), CGSizeMake(320 * s, 480 * s));
    // The sprite: a 40 x 20 point picture centred on (100, 100), from the variant of the scale.
    EXPECT_EQ(sprite->texture()->contentScale(), s);
    EXPECT_EQ(sprite->texture()->contentSize(), CGSizeMake(40, 20));
    // (The default projection's eye distance makes the view a little under 480 points tall, so
    // points far from the centre land up to a third of a point off, at every scale alike.)
    const Box b = find(isRed);
    EXPECT_NEAR(b.left, 80.f, 0.5f);
    EXPECT_NEAR(b.right, 120.f, 0.5f);
    EXPECT_NEAR(b.bottom, 90.f, 0.5f);
    EXPECT_NEAR(b.top, 110.f, 0.5f);
    // The label: rasterised at the scale, its box and ink in the same place in points.
    ASSERT_TRUE(label->texture());
    EXPECT_EQ(label->texture()->contentScale(), s);
    EXPECT_EQ(label->texture()->contentSize(), CGSizeMake(120, 40));
    EXPECT_EQ(label->texture()->pixelsWide(), nextPowerOfTwo(unsigned(120 * s)));
    const Box t = find(isGreen);
    ASSERT_FALSE(t.empty());
    // The particle: a point sprite 20 points wide.
    const Box p = find(isWhite);
    ASSERT_FALSE(p.empty());
    EXPECT_NEAR(p.right - p.left, 20.f, 1.f);
    EXPECT_NEAR(p.top - p.bottom, 20.f, 1.f);
    EXPECT_EQ(particle->vertices()[0].pointSize, 20.f * s);
    if (s == 1.f) {
      labelAt1 = t;
      particleAt1 = p;
      EXPECT_GT(t.right - t.left, 40.f);
      continue;
    }
    for (auto [a, b1] : {std::pair{t.left, labelAt1.left}, {t.right, labelAt1.right}, {t.bottom, labelAt1.bottom},
                         {t.top, labelAt1.top}, {p.left, particleAt1.left}, {p.right, particleAt1.right},
                         {p.bottom, particleAt1.bottom}, {p.top, particleAt1.top}})
      EXPECT_NEAR(a, b1, 1.5f);
  }
}

TEST_F(ResolutionTest, PictureVariantsFitTheScaleAndMissingOnesFallBack) {
  // Each variant in its own colour; "Half" has no @4x, "Plain" only the 1x file.
  pictures("Full", 16, 8, 0xFF0000FF, {1});
  pictures("Full", 16, 8, 0x00FF00FF, {2});
  pictures("Full", 16, 8, 0x0000FFFF, {4});
  pictures("Half", 16, 8, 0xFF0000FF, {1});
  pictures("Half", 16, 8, 0x00FF00FF, {2});
  pictures("Plain", 16, 8, 0xFF0000FF, {1});
  struct Case {
    float scale;
    const char* base;
    int variant;
  } cases[] = {
      {1, "Full", 1},  {1.5f, "Full", 2}, {2, "Full", 2},  {3.375f, "Full", 4}, {4, "Full", 4},
      {4, "Half", 2},  {2, "Half", 2},    {4, "Plain", 1}, {2, "Plain", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.base) + " at " + std::to_string(c.scale));
    TextureMgr::purgeShared();
    director->setContentScaleFactor(c.scale);
    Texture2D* t = TextureMgr::sharedTextureMgr()->addImage(dir.file(std::string(c.base) + ".png"));
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(TextureMgr::sharedTextureMgr()->loadedVariant(dir.file(std::string(c.base) + ".png")), c.variant);
    EXPECT_EQ(t->contentSize(), CGSizeMake(16, 8));
    EXPECT_EQ(t->contentSizeInPixels(), CGSizeMake(16.f * c.variant, 8.f * c.variant));
  }

  // A change of scale loads the fitting variant into the same texture: a small picture moves to
  // the new variant's place in the atlas, a picture of its own keeps its GL name.
  TextureMgr::purgeShared();
  director->setContentScaleFactor(1);
  Texture2D* t = TextureMgr::sharedTextureMgr()->addImage(dir.file("Full.png"));
  Texture2D* own = TextureMgr::sharedTextureMgr()->addImageUnpacked(dir.file("Full.png"));
  ASSERT_NE(t, nullptr);
  ASSERT_NE(own, nullptr);
  ASSERT_NE(t->atlas(), nullptr);
  const GLuint name = own->name();
  director->setContentScaleFactor(4);
  EXPECT_NE(t->atlas(), nullptr);
  EXPECT_EQ(t->contentSizeInPixels(), CGSizeMake(64, 32));
  EXPECT_EQ(t->contentSize(), CGSizeMake(16, 8));
  EXPECT_EQ(TextureMgr::sharedTextureMgr()->addImage(dir.file("Full.png")), t);
  EXPECT_EQ(own->name(), name);
  EXPECT_EQ(own->pixelsWide(), 64u);
  EXPECT_EQ(own->contentSize(), CGSizeMake(16, 8));
}

TEST_F(ResolutionTest, FollowingTheScreenRebuildsTheSurfaceWhenTheWindowChanges) {
  platform::Display* display = platform::Display::shared();
  ASSERT_NE(display, nullptr);
  display->resize(960, 640);
  director->setFollowsScreenScale(true);
  EXPECT_EQ(director->contentScaleFactor(), 2.f);
  EXPECT_EQ(director->surfaceSize(), CGSizeMake(640, 960));
  display->resize(1440, 960);
  if (display->width() != 1440) GTEST_SKIP() << "the video driver does not resize windows";
  EXPECT_EQ(director->contentScaleFactor(), 3.f);
  EXPECT_EQ(director->surfaceSize(), CGSizeMake(960, 1440));
  GLint viewport[4] = {};
  glGetIntegerv(GL_VIEWPORT, viewport);
  EXPECT_EQ(viewport[2], 960);
  EXPECT_EQ(viewport[3], 1440);
  director->setFollowsScreenScale(false);
  display->resize(960, 640);
  EXPECT_EQ(director->contentScaleFactor(), 3.f) << "no longer following";
}


// Where the window's framebuffer keeps the window's size (a real window; here the offscreen
// driver's, which keeps its creation size of 960 x 640), the Director at the window's scale draws
// straight into it, turned landscape-right; an RGB565 Director keeps a 565 surface of its own,
// which the present draws into the window. The window shows the same picture either way (read
// before the swap), and moving into the window or out of it keeps the projection right.
TEST_F(ResolutionTest, AtTheWindowsScaleTheDirectorDrawsIntoTheWindowUnlessAskedFor565) {
  platform::Display* display = platform::Display::shared();
  ASSERT_NE(display, nullptr);
  display->resize(960, 640);
  if (display->width() != 960) GTEST_SKIP() << "the window cannot be brought back to 960 x 640";
  const std::string red = pictures("Red", 40, 20, 0xFF0000FF, {1, 2});
  const std::string green = pictures("Green", 40, 20, 0x00FF00FF, {1, 2});
  display->forceWindowFramebuffer(true);
  display->setKeepsLastFrame(true);
  struct Row {
    int format;
    bool intoWindow;
  } rows[] = {{1, true}, {0, false}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.format);
    Director::purgeShared();
    Director::setPixelFormat(row.format);
    director = Director::sharedDirector();
    ASSERT_NE(director, nullptr);
    director->setLandscape(true);
    auto scene = Scene::node();
    auto left = Sprite::spriteFromFile(red);
    left->setPosition(Vec2(100, 100));  // landscape points: window pixels (200, 440) from the top left
    scene->add(left);
    auto right = Sprite::spriteFromFile(green);
    right->setPosition(Vec2(400, 250));  // window pixels (800, 140)
    scene->add(right);
    run(scene);
    for (bool follow : {true, false}) {
      SCOPED_TRACE(follow ? "at the window's scale" : "at scale 1");
      // Following the screen brings the Director to the window's 2 pixels a point; scale 1 again
      // takes it out of the window into a surface of its own.
      if (follow) director->setFollowsScreenScale(true);
      else {
        director->setFollowsScreenScale(false);
        director->setContentScaleFactor(1.f);
      }
      frame(0.0);
      EXPECT_EQ(director->drawsIntoWindow(), follow && row.intoWindow);
      EXPECT_EQ(director->framebuffer() == 0, follow && row.intoWindow);
      const platform::Image shot = display->captureWindow();
      ASSERT_EQ(shot.width, 960);
      ASSERT_EQ(shot.height, 640);
      auto at = [&shot](int x, int y) {
        const std::uint32_t c = shot.pixel(x, y);
        return (c & 0xFFFFFF00u) | 0xFFu;
      };
      EXPECT_EQ(at(200, 440), 0xFF0000FFu);
      EXPECT_EQ(at(200 - 36, 440 + 16), 0xFF0000FFu);  // near the corners of its 80 x 40 pixels
      EXPECT_EQ(at(200 + 36, 440 - 16), 0xFF0000FFu);
      EXPECT_EQ(at(200 + 44, 440), 0x000000FFu);
      EXPECT_EQ(at(200, 440 + 24), 0x000000FFu);
      EXPECT_EQ(at(800, 140), 0x00FF00FFu);
      EXPECT_EQ(at(800 - 36, 140 - 16), 0x00FF00FFu);
      EXPECT_EQ(at(800 + 44, 140), 0x000000FFu);
    }
    director->runningScene()->onExit();
  }
  display->forceWindowFramebuffer(false);
  display->setKeepsLastFrame(false);
  Director::purgeShared();
  Director::setPixelFormat(1);
  director = Director::sharedDirector();
  ASSERT_NE(director, nullptr);
}

}  // namespace
}  // namespace peckish::test
