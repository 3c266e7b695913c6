// Textured nodes, sprites and animations: tint, opacity, anchors, frame lists, missing pictures.
#include <gtest/gtest.h>

#include <array>

#include "TextureTestSupport.h"
#include "core/Log.h"
#include "engine/render/Sprite.h"
#include "engine/render/Texture2D.h"
#include "engine/render/TextureMgr.h"
#include "engine/render/TextureNode.h"

namespace peckish::test {
namespace {

class SpriteTest : public ::testing::Test {
 protected:
  void TearDown() override { TextureMgr::purgeShared(); }
  std::string picture(const std::string& name, int w, int h, uint32_t rgba = 0xFFFFFFFF) {
    return writeImage(dir, name, solidImage(w, h, rgba));
  }
  GLTarget gl;
  TempFolder dir;
};

std::array<GLfloat, 4> currentColor() {
  std::array<GLfloat, 4> c{};
  glGetFloatv(GL_CURRENT_COLOR, c.data());
  return c;
}

class SubSprite : public Sprite {
 public:
  explicit SubSprite(const std::string& file) : Sprite(file) {}
  int z = 7;
};

TEST_F(SpriteTest, NewNodesDrawUntintedAndOpaque) {
  REQUIRE_GL(gl);
  auto node = TextureNode::node();
  EXPECT_EQ(node->r(), 255);
  EXPECT_EQ(node->g(), 255);
  EXPECT_EQ(node->b(), 255);
  EXPECT_EQ(node->opacity(), 255);
  node->setTexture(TextureMgr::sharedTextureMgr()->addImage(picture("White.png", 8, 8, 0x8040C0FF)));
  node->draw();
  EXPECT_EQ(gl.pixel(4, 4), 0x8040C0FFu);
  EXPECT_EQ(gl.pixel(8, 4), 0u);
}

TEST_F(SpriteTest, TintAndOpacityModulateTheTexture) {
  REQUIRE_GL(gl);
  auto node = TextureNode::node();
  node->setTexture(TextureMgr::sharedTextureMgr()->addImage(picture("White.png", 8, 8)));
  node->setRGB(255, 0, 0);
  node->setOpacity(128);
  node->draw();
  const uint32_t px = gl.pixel(3, 3);
  EXPECT_EQ(red(px), 255);
  EXPECT_EQ(green(px), 0);
  EXPECT_EQ(blue(px), 0);
  EXPECT_NEAR(alpha(px), 128, 1);
  EXPECT_EQ(currentColor(), (std::array<GLfloat, 4>{1, 1, 1, 1}));  // white again afterwards
  // The arrays and texturing are off again.
  EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
  EXPECT_FALSE(glIsEnabled(GL_VERTEX_ARRAY));
  EXPECT_FALSE(glIsEnabled(GL_TEXTURE_COORD_ARRAY));

  // With source-alpha blending over black, the half-transparent red shows as dark red.
  gl.clear();
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  node->draw();
  glDisable(GL_BLEND);
  EXPECT_NEAR(red(gl.pixel(3, 3)), 128, 2);
  EXPECT_EQ(green(gl.pixel(3, 3)), 0);
}

TEST_F(SpriteTest, TextTakesItsColourFromTheTint) {
  REQUIRE_GL(gl);
  auto node = TextureNode::node();
  Ref<Texture2D> text = Texture2D::initWithString("WWWW", CGSizeMake(100, 30), 0, "Arial", 28);
  node->setTexture(text);
  node->setRGB(0, 255, 0);
  node->draw();
  int greens = 0, other = 0;
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 100; ++x) {
      uint32_t p = gl.pixel(x, y);
      if (alpha(p) > 200) (green(p) == 255 && red(p) == 0 && blue(p) == 0 ? greens : other)++;
    }
  EXPECT_GT(greens, 50);
  EXPECT_EQ(other, 0);
}

TEST_F(SpriteTest, SpriteIsAnchoredAtThePictureCentre) {
  REQUIRE_GL(gl);
  auto sprite = Sprite::spriteFromFile(picture("Card.png", 64, 32));
  ASSERT_NE(sprite->texture(), nullptr);
  EXPECT_EQ(sprite->transformAnchor(), Vec2(32, 16));
  EXPECT_EQ(sprite->texture()->contentSize(), CGSizeMake(64, 32));
  // Drawn through the node tree it is centred on its position.
  sprite->setPosition(Vec2(100, 50));
  sprite->visit();
  EXPECT_EQ(gl.litPixels(0, 0, 256, 128), 64 * 32);
  EXPECT_NE(gl.pixel(68, 34), 0u);
  EXPECT_NE(gl.pixel(131, 65), 0u);
  EXPECT_EQ(gl.pixel(67, 50), 0u);
  EXPECT_EQ(gl.pixel(100, 66), 0u);
}

TEST_F(SpriteTest, SpritesShareCachedTexturesAndHoldTheirOwnReference) {
  REQUIRE_GL(gl);
  const std::string file = picture("Rooster.png", 10, 10);
  Texture2D* cached = TextureMgr::sharedTextureMgr()->addImage(file);
  {
    auto a = Sprite::spriteFromFile(file);
    auto b = Sprite::spriteFromFile<SubSprite>(file);
    EXPECT_EQ(a->texture(), cached);
    EXPECT_EQ(b->texture(), cached);
    EXPECT_EQ(b->z, 7);
    EXPECT_EQ(cached->retainCount(), 3);
    // Installing another texture drops the reference to the old one.
    Ref<Texture2D> other = Texture2D::initWithString("x", CGSizeMake(8, 8), 0, "Arial", 8);
    a->setTexture(other);
    EXPECT_EQ(cached->retainCount(), 2);
    EXPECT_EQ(other->retainCount(), 2);
  }
  EXPECT_EQ(cached->retainCount(), 1);  // the cache keeps it
}

TEST_F(SpriteTest, SpriteOfAMissingPictureDrawsNothing) {
  REQUIRE_GL(gl);
  LogCapture log;
  auto sprite = Sprite::spriteFromFile(dir.file("Gone.png"));
  EXPECT_TRUE(log.contains("Image is Null"));
  EXPECT_EQ(sprite->texture(), nullptr);
  EXPECT_EQ(sprite->transformAnchor(), vzero);
  sprite->setPosition(Vec2(50, 50));
  sprite->visit();
  EXPECT_EQ(gl.litPixels(0, 0, 128, 128), 0);
}

TEST_F(SpriteTest, AnimationFrameLists) {
  REQUIRE_GL(gl);
  const std::string a = picture("Peck1.png", 4, 4), b = picture("Peck2.png", 4, 4);
  TextureMgr* mgr = TextureMgr::sharedTextureMgr();

  auto two = Animation::animationWithName("peck", 0.1f, {a, b});
  ASSERT_EQ(two->frames().size(), 2u);
  EXPECT_EQ(two->frames()[0].get(), mgr->addImage(a));
  EXPECT_EQ(two->frames()[1].get(), mgr->addImage(b));
  EXPECT_EQ(two->name(), "peck");
  EXPECT_EQ(two->delay(), 0.1f);

  EXPECT_TRUE(Animation::animationWithName("none", 0.1f, {})->frames().empty());

  auto twice = Animation::animationWithName("twice", 0.2f, {a, a});
  ASSERT_EQ(twice->frames().size(), 2u);
  EXPECT_EQ(twice->frames()[0], twice->frames()[1]);

  // Frames that cannot be loaded are left out; the rest keep their order.
  LogCapture log;
  auto holes = Animation::animationWithName("holes", 0.1f, {b, dir.file("Missing.png"), a});
  ASSERT_EQ(holes->frames().size(), 2u);
  EXPECT_EQ(holes->frames()[0].get(), mgr->addImage(b));
  EXPECT_EQ(holes->frames()[1].get(), mgr->addImage(a));
  holes->addFrame(b);
  EXPECT_EQ(holes->frames().size(), 3u);
}

TEST_F(SpriteTest, AnimationsAreStoredByName) {
  REQUIRE_GL(gl);
  auto sprite = Sprite::spriteFromFile(picture("Girl.png", 4, 4));
  auto first = Animation::animationWithName("wave", 0.1f);
  auto second = Animation::animationWithName("wave", 0.3f);
  auto other = Animation::animationWithName("blink", 0.5f);
  sprite->addAnimation(first);
  sprite->addAnimation(other);
  sprite->addAnimation(second);
  EXPECT_EQ(sprite->animations().size(), 2u);
  EXPECT_EQ(sprite->animationByName("wave"), second.get());
  EXPECT_EQ(sprite->animationByName("blink"), other.get());
  EXPECT_EQ(sprite->animationByName("jump"), nullptr);
  EXPECT_EQ(first->retainCount(), 1);  // the replaced one is no longer held by the sprite
}

}  // namespace
}  // namespace peckish::test
