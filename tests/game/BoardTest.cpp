// The board table, the touchable sprites and their deliberate hit boxes.
#include <gtest/gtest.h>

#include "GameTestSupport.h"
#include "core/Exception.h"

namespace peckish::test {
namespace {

TEST(PositionsTest, HolesByValue) {
  const Vec2 expected[9] = {{90, 25}, {240, 25}, {380, 25}, {125, 92}, {240, 92},
                            {345, 92}, {155, 142}, {240, 142}, {315, 142}};
  for (unsigned i = 0; i < 9; ++i) EXPECT_EQ(Positions::pos(i), expected[i]) << i;
  // Two calls in a row give two independent points.
  const Vec2 a = Positions::pos(4);
  const Vec2 b = Positions::pos(8);
  EXPECT_EQ(a, Vec2(240, 92));
  EXPECT_EQ(b, Vec2(315, 142));
}

TEST(PositionsTest, IndexPastTheBoardRaises) {
  for (unsigned bad : {9u, 100u, ~0u}) {
    try {
      Positions::pos(bad);
      ADD_FAILURE() << "no exception for " << bad;
    } catch (const Exception& e) {
      EXPECT_EQ(e.name(), std::string("InvalidBoardIndex"));
    }
  }
}

// Sprites need textures, and textures a GL surface: these run with a Director.
using SpritesTest = GameTest;

TEST_F(SpritesTest, NewCharacters) {
  Ref<Rooster> r = Rooster::node();
  EXPECT_EQ(r->scale(), 0.1f);
  EXPECT_EQ(r->gridPosition(), -1);
  EXPECT_EQ(r->transformAnchor(), Vec2(50, 0));
  EXPECT_FALSE(r->isTouched());
  EXPECT_STREQ(r->prize(), "YellowStar.png");
  Ref<Girl> g = Girl::node();
  EXPECT_EQ(g->scale(), 0.1f);
  EXPECT_STREQ(g->prize(), "RedStar.png");
  Ref<CharacterSprite> plain = make<CharacterSprite>("Rooster.png");
  EXPECT_EQ(plain->prize(), nullptr);
}

TEST_F(SpritesTest, CharacterHitBoxStartsAtTheUnscaledAnchor) {
  auto fresh = [] {
    Ref<Rooster> r = Rooster::node();
    r->setPosition(Vec2(240, 92));
    r->setScale(0.8f);
    return r;
  };
  Ref<Rooster> r = fresh();
  // Box: x 190..270, y 92..172.
  for (CGPoint out : {CGPointMake(271, 100), CGPointMake(200, 173), CGPointMake(200, 91)}) {
    EXPECT_FALSE(r->isTouchInside(out)) << out.x << "," << out.y;
    EXPECT_FALSE(r->isTouched());
  }
  // Left of the drawn picture (which starts at 200) but inside the box; edges count.
  EXPECT_TRUE(r->isTouchInside(CGPointMake(190, 92)));
  EXPECT_TRUE(r->isTouched());
  EXPECT_TRUE(fresh()->isTouchInside(CGPointMake(270, 172)));
  // Once hit, never again, not even in the middle.
  EXPECT_FALSE(r->isTouchInside(CGPointMake(230, 130)));
  EXPECT_FALSE(r->isTouchInside(CGPointMake(190, 92)));
}

TEST_F(SpritesTest, ButtonBoxIsItsPictureAndItCanBePressedAgain) {
  int presses = 0;
  struct Counter {
    int* n;
    void press() { ++*n; }
  } counter{&presses};
  Ref<Button> b = Button::buttonFromFile("Reset.png", &counter, &Counter::press);
  b->setPosition(Vec2(456, 292));
  EXPECT_FALSE(b->isTouchInside(CGPointMake(435, 292)));
  EXPECT_TRUE(b->isTouchInside(CGPointMake(436, 272)));
  b->click();
  EXPECT_EQ(presses, 1);
  EXPECT_FALSE(b->isTouched());
  EXPECT_TRUE(b->isTouchInside(CGPointMake(476, 312)));
  b->click();
  EXPECT_EQ(presses, 2);

  Ref<TouchSprite> plain = make<TouchSprite>("Reset.png");
  plain->click();  // nothing to do
  EXPECT_FALSE(plain->isTouched());
}

}  // namespace
}  // namespace peckish::test
