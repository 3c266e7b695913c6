// Batched drawing of textured nodes: the same scene drawn with and without the QuadBatch gives the
// same picture, textured nodes of one atlas share a draw call, and the other drawing keeps its
// place in the order.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "StageTestSupport.h"
#include "TextureTestSupport.h"
#include "engine/scene/Camera.h"
#include "engine/render/Label.h"
#include "engine/scene/Layer.h"
#include "engine/render/QuadBatch.h"
#include "engine/render/Sprite.h"
#include "engine/render/Texture2D.h"
#include "engine/render/TextureMgr.h"

namespace peckish::test {
namespace {

// A picture with detail in every direction: colour ramps across and down, a transparent corner
// and a half-transparent band, so that a misplaced texture coordinate or corner shows.
platform::Image pattern(int w, int h, uint32_t tint) {
  return makeImage(w, h, [=](int x, int y) -> uint32_t {
    if (x < w / 4 && y < h / 4) return 0u;
    const uint32_t r = uint32_t(x * 255 / (w - 1)) & (tint >> 24);
    const uint32_t g = uint32_t(y * 255 / (h - 1)) & ((tint >> 16) & 0xFF);
    const uint32_t b = (tint >> 8) & 0xFF;
    const uint32_t a = (y > h / 2 && y < h / 2 + 4) ? 128u : 255u;
    return r << 24 | g << 16 | b << 8 | a;
  });
}

class QuadBatchTest : public StageTest {
 protected:
  void SetUp() override {
    StageTest::SetUp();
    if (!director) return;
    a_ = writeImage(dir_, "A.png", pattern(40, 30, 0xFFFF4000));
    b_ = writeImage(dir_, "B.png", pattern(24, 36, 0x80FFC000));
  }
  void TearDown() override {
    QuadBatch::setEnabled(true);
    StageTest::TearDown();
    TextureMgr::purgeShared();
  }
  Ref<Sprite> sprite(bool a, float x, float y) {
    Ref<Sprite> s = Sprite::spriteFromFile(a ? a_ : b_);
    s->setPosition(Vec2(x, y));
    return s;
  }
  // The whole surface after one frame of the scene, rows bottom first, RGBA bytes.
  std::vector<uint8_t> drawn(const Ref<Scene>& scene, bool batched, uint64_t* draws) {
    QuadBatch::setEnabled(batched);
    run(scene);
    const uint64_t before = QuadBatch::drawCalls();
    frame(0);
    *draws = QuadBatch::drawCalls() - before;
    const CGSize size = director->surfaceSize();
    std::vector<uint8_t> pixels(size_t(size.width) * size_t(size.height) * 4);
    glBindFramebufferOES(GL_FRAMEBUFFER_OES, director->framebuffer());
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, GLsizei(size.width), GLsizei(size.height), GL_RGBA, GL_UNSIGNED_BYTE,
                 pixels.data());
    return pixels;
  }

  TempFolder dir_;
  std::string a_, b_;
};

TEST_F(QuadBatchTest, BatchedAndUnbatchedDrawingAgree) {
  struct Case {
    const char* name;
    std::function<void(Scene*)> build;
    uint64_t batchedDraws;  // draw calls of the QuadBatch in one batched frame
  };
  const std::vector<Case> cases = {
      {"rotation",
       [&](Scene* s) {
         const float angles[] = {0.f, 15.f, 33.f, 90.f, 200.f, -47.f};
         for (int i = 0; i < 6; ++i) {
           Ref<Sprite> n = sprite(i % 2 == 0, 60.f + 70.f * i, 160.f);
           n->setRotation(angles[i]);
           s->add(n);
         }
       },
       1},
      {"scale",
       [&](Scene* s) {
         const float scales[] = {0.5f, 1.7f, 2.3f, 0.8f};
         for (int i = 0; i < 4; ++i) {
           Ref<Sprite> n = sprite(i % 2 == 1, 70.f + 110.f * i, 150.f + 20.f * i);
           n->setScale(scales[i]);
           n->setRotation(10.f * i);
           s->add(n);
         }
       },
       1},
      {"opacity and colour",
       [&](Scene* s) {
         for (int i = 0; i < 5; ++i) {
           Ref<Sprite> n = sprite(i % 2 == 0, 60.f + 60.f * i, 100.f + 25.f * i);
           n->setScale(1.5f);
           n->setRGB(uint8_t(255 - 50 * i), uint8_t(40 * i), 200);
           n->setOpacity(uint8_t(255 - 45 * i));
           s->add(n);  // overlapping, so blending order counts too
         }
       },
       1},
      {"z order around a colour layer and a label",
       [&](Scene* s) {
         Ref<Sprite> under = sprite(true, 200, 160);
         under->setScale(3.f);
         s->add(under, 0);
         Ref<ColorLayer> veil = ColorLayer::layerWithColor(0x2060FF80, 250, 200);
         s->add(veil, 1);
         Ref<Sprite> over = sprite(false, 230, 170);
         over->setScale(2.f);
         s->add(over, 2);
         Ref<Label> text = Label::labelWithString("Peck", CGSizeMake(120, 40), 1, "Arial", 30);
         text->setPosition(Vec2(240, 180));
         text->setRGB(255, 255, 0);
         s->add(text, 3);
         Ref<Sprite> top = sprite(true, 260, 190);
         top->setRotation(30.f);
         s->add(top, 4);
         // A child behind its parent and one in front, in the parent's space.
         top->add(sprite(false, 0, 0), -1);
         top->add(sprite(false, 40, 30), 1);
       },
       4},
      {"camera",
       [&](Scene* s) {
         Ref<Node> group = Node::node();
         group->camera()->setEyeX(40.f, 30.f, Camera::getZEye());
         group->camera()->setCenterX(40.f, 30.f, 0.f);
         group->camera()->setUpX(0.3f, 1.f, 0.f);
         for (int i = 0; i < 4; ++i) group->add(sprite(i % 2 == 0, 150.f + 60.f * i, 170.f));
         s->add(sprite(true, 60, 60));
         s->add(group);
         s->add(sprite(false, 420, 260));
       },
       1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Ref<Scene> one = Scene::node(), two = Scene::node();
    c.build(one.get());
    c.build(two.get());
    uint64_t batchedDraws = 0, unbatchedDraws = 0;
    const std::vector<uint8_t> batched = drawn(one, true, &batchedDraws);
    const std::vector<uint8_t> unbatched = drawn(two, false, &unbatchedDraws);
    EXPECT_EQ(batchedDraws, c.batchedDraws);
    EXPECT_EQ(unbatchedDraws, 0u);
    ASSERT_EQ(batched.size(), unbatched.size());
    int worst = 0, lit = 0;
    for (size_t i = 0; i < batched.size(); ++i) {
      worst = std::max(worst, std::abs(int(batched[i]) - int(unbatched[i])));
      if (batched[i] != 0 && i % 4 != 3) ++lit;
    }
    EXPECT_LE(worst, 2);
    EXPECT_GT(lit, 1000);  // the scene did draw
  }
}

TEST_F(QuadBatchTest, DrawnWhenTheVisitEndsAndOnTheirOwnOutsideOne) {
  // A visit of a tree outside the Director's frame leaves nothing queued behind.
  Ref<Node> root = Node::node();
  root->add(sprite(true, 100, 100));
  root->add(sprite(false, 160, 100));
  const uint64_t before = QuadBatch::drawCalls();
  root->visit();
  EXPECT_EQ(QuadBatch::queued(), 0u);
  EXPECT_EQ(QuadBatch::drawCalls(), before + 1);
  // A textured node drawn by hand draws at once.
  sprite(true, 0, 0)->draw();
  EXPECT_EQ(QuadBatch::queued(), 0u);
  EXPECT_EQ(QuadBatch::drawCalls(), before + 1);
}

}  // namespace
}  // namespace peckish::test
