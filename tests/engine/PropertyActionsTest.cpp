#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "EngineTestSupport.h"
#include "TextureTestSupport.h"
#include "core/Exception.h"
#include "engine/actions/CompositeActions.h"
#include "engine/actions/PropertyActions.h"
#include "engine/render/Sprite.h"
#include "engine/render/Texture2D.h"
#include "engine/render/TextureNode.h"

using namespace peckish;
using namespace peckish::test;

namespace {

class PropertyActionsTest : public StagedEngineTest {
 protected:
  // Starts the action on a fresh node (off stage) and returns the node; the test drives update().
  template <class T = Node>
  Ref<T> startOn(Action* action, void (*setup)(T&) = nullptr) {
    Ref<T> n = make<T>();
    if (setup) setup(*n);
    action->startWithTarget(n.get());
    return n;
  }

 private:
};

void expectRaisesNoReverse(const Ref<Action>& a) {
  try {
    a->reverse();
    ADD_FAILURE() << "reverse should raise";
  } catch (const Exception& e) {
    EXPECT_EQ(e.name(), "ReverseActionNotImplemented");
    EXPECT_EQ(e.reason(), "Reverse Action not implemented");
  }
}

// --- Position ------------------------------------------------------------------------------------

TEST_F(PropertyActionsTest, MoveByStepsFromWhereTheNodeStartedAndReverses) {
  Ref<Node> node = stageNode();
  node->setPosition(Vec2(10, 20));
  Ref<MoveBy> move = MoveBy::actionWithDuration(2, Vec2(100, 0));
  node->do_(move);
  std::vector<Vec2> seen;
  for (int i = 0; i < 4; ++i) {
    tick(0.5);
    seen.push_back(node->position());
  }
  EXPECT_EQ(seen, (std::vector<Vec2>{{35, 20}, {60, 20}, {85, 20}, {110, 20}}));

  Ref<MoveBy> back = ref_cast<MoveBy>(move->reverse());
  ASSERT_TRUE(back);
  EXPECT_EQ(back->delta(), Vec2(-100, 0));
  EXPECT_DOUBLE_EQ(back->duration(), 2.0);
  // Running again continues from where the node is now.
  node->do_(move->copy());
  tick(2.0);
  EXPECT_EQ(node->position(), Vec2(210, 20));
}

TEST_F(PropertyActionsTest, MoveToComputesItsChangeAtStart) {
  Ref<MoveTo> stay = MoveTo::actionWithDuration(1, Vec2(50, 50));
  Ref<Node> node = startOn<Node>(stay.get(), [](Node& n) { n.setPosition(Vec2(50, 50)); });
  EXPECT_EQ(stay->delta(), Vec2(0, 0));
  stay->update(0.5);
  EXPECT_EQ(node->position(), Vec2(50, 50));

  Ref<MoveTo> go = MoveTo::actionWithDuration(1, Vec2(-10, 30));
  node = startOn<Node>(go.get(), [](Node& n) { n.setPosition(Vec2(10, 10)); });
  node->setPosition(Vec2(999, 999));  // moved by something else meanwhile: overwritten
  go->update(0.5);
  EXPECT_EQ(node->position(), Vec2(0, 20));
  go->update(1.0);
  EXPECT_EQ(node->position(), Vec2(-10, 30));
  expectRaisesNoReverse(go);
}

TEST_F(PropertyActionsTest, JumpByArchesAboveTheLineAndLandsOnIt) {
  Ref<JumpBy> jump = JumpBy::actionWithDuration(1, Vec2(100, 0), 50, 2);
  Ref<Node> node = startOn<Node>(jump.get(), [](Node& n) { n.setPosition(Vec2(10, 20)); });
  jump->update(0.25);
  EXPECT_FLOAT_EQ(node->position().x, 35.f);
  EXPECT_FLOAT_EQ(node->position().y, 70.f);
  jump->update(0.5);
  EXPECT_FLOAT_EQ(node->position().x, 60.f);
  EXPECT_NEAR(node->position().y, 20.f, 1e-4);
  jump->update(1.0);
  EXPECT_FLOAT_EQ(node->position().x, 110.f);
  EXPECT_NEAR(node->position().y, 20.f, 1e-4);

  Ref<JumpBy> back = ref_cast<JumpBy>(jump->reverse());
  ASSERT_TRUE(back);
  EXPECT_EQ(back->delta(), Vec2(-100, 0));
  EXPECT_EQ(back->height(), 50.0);
  EXPECT_EQ(back->jumps(), 2);
}

TEST_F(PropertyActionsTest, JumpToTurnsItsEndPointIntoAChangeAtStart) {
  Ref<JumpTo> jump = JumpTo::actionWithDuration(1, Vec2(100, 50), 10, 1);
  Ref<Node> node = startOn<Node>(jump.get(), [](Node& n) { n.setPosition(Vec2(40, 10)); });
  EXPECT_EQ(jump->delta(), Vec2(60, 40));
  jump->update(1.0);
  EXPECT_NEAR(node->position().x, 100.f, 1e-4);
  EXPECT_NEAR(node->position().y, 50.f, 1e-4);
  // Started again, the stored change is taken as the end point once more.
  jump->start();
  EXPECT_EQ(jump->delta(), Vec2(-40, -10));
  jump->update(1.0);
  EXPECT_NEAR(node->position().x, 60.f, 1e-4);
  EXPECT_NEAR(node->position().y, 40.f, 1e-4);
}

// --- Rotation and scale --------------------------------------------------------------------------

TEST_F(PropertyActionsTest, RotateToTurnsTheShortWay) {
  struct Case {
    float from, to, end;
  };
  for (Case c : {Case{10, 350, -10}, Case{0, 190, -170}, Case{0, -190, 170}, Case{0, 180, 180}, Case{90, 0, 0}}) {
    Ref<RotateTo> rot = RotateTo::actionWithDuration(1, c.to);
    const float from = c.from;
    Ref<Node> node = make<Node>();
    node->setRotation(from);
    rot->startWithTarget(node.get());
    rot->update(0.5);
    EXPECT_FLOAT_EQ(node->rotation(), from + (c.end - from) / 2) << c.from << " -> " << c.to;
    rot->update(1.0);
    EXPECT_FLOAT_EQ(node->rotation(), c.end) << c.from << " -> " << c.to;
  }
  // The end angle is replaced by the difference at start; a copy made then carries the difference.
  Ref<RotateTo> rot = RotateTo::actionWithDuration(1, 350);
  Ref<Node> node = startOn<Node>(rot.get(), [](Node& n) { n.setRotation(10); });
  EXPECT_FLOAT_EQ(ref_cast<RotateTo>(rot->copy())->angle(), -20.f);
  expectRaisesNoReverse(RotateTo::actionWithDuration(1, 10));
}

TEST_F(PropertyActionsTest, RotateByAndScaleByAreRelativeAndReverse) {
  Ref<RotateBy> spin = RotateBy::actionWithDuration(1, 270);
  Ref<Node> node = startOn<Node>(spin.get(), [](Node& n) { n.setRotation(30); });
  spin->update(1.0);
  EXPECT_FLOAT_EQ(node->rotation(), 300.f);
  EXPECT_FLOAT_EQ(ref_cast<RotateBy>(spin->reverse())->angle(), -270.f);

  Ref<ScaleBy> grow = ScaleBy::actionWithDuration(1, 2);
  node = startOn<Node>(grow.get(), [](Node& n) { n.setScale(1.5f); });
  grow->update(0.5);
  EXPECT_FLOAT_EQ(node->scale(), 2.25f);
  grow->update(1.0);
  EXPECT_FLOAT_EQ(node->scale(), 3.f);
  Ref<ScaleBy> shrink = ref_cast<ScaleBy>(grow->reverse());
  ASSERT_TRUE(shrink);
  EXPECT_FLOAT_EQ(shrink->endScale(), 0.5f);

  Ref<ScaleTo> to = ScaleTo::actionWithDuration(1, 0.5f);
  node = startOn<Node>(to.get(), [](Node& n) { n.setScale(2.5f); });
  to->update(0.5);
  EXPECT_FLOAT_EQ(node->scale(), 1.5f);
  expectRaisesNoReverse(to);
}

// --- Visibility ----------------------------------------------------------------------------------

TEST_F(PropertyActionsTest, BlinkHidesInTheFirstHalfOfEachSlice) {
  Ref<Node> node = stageNode();
  node->do_(Blink::actionWithDuration(2, 5));  // 0.4 s slices
  std::vector<bool> seen;
  for (int i = 0; i < 10; ++i) {
    tick(0.2);
    seen.push_back(node->visible());
  }
  // Half way through a slice fmod falls just short of half a slice (hidden); at a slice end just
  // short of a whole one (visible).
  EXPECT_EQ(seen, (std::vector<bool>{false, true, false, true, false, true, false, true, false, true}));
  EXPECT_TRUE(node->visible());  // five blinks end visible

  // The slice is rounded to float: five blinks end visible, 1, 2, 4 or 8 end hidden.
  for (int blinks : {5, 1, 2, 4, 8}) {
    Ref<Blink> blink = Blink::actionWithDuration(1, blinks);
    Ref<Node> n = startOn<Node>(blink.get());
    blink->update(1.0);
    EXPECT_EQ(n->visible(), blinks == 5) << blinks << " blinks";
  }
  Ref<Blink> again = ref_cast<Blink>(Blink::actionWithDuration(2, 5)->reverse());
  ASSERT_TRUE(again);
  EXPECT_EQ(again->times(), 5);
}

// --- Opacity -------------------------------------------------------------------------------------

TEST_F(PropertyActionsTest, FadesTruncateTheirOpacity) {
  Ref<FadeIn> in = FadeIn::actionWithDuration(1);
  Ref<TextureNode> node = startOn<TextureNode>(in.get());
  in->update(0.5);
  EXPECT_EQ(node->opacity(), 127);
  in->update(1.0);
  EXPECT_EQ(node->opacity(), 255);

  Ref<Action> out = in->reverse();
  ASSERT_NE(dynamic_cast<FadeOut*>(out.get()), nullptr);
  out->startWithTarget(node.get());
  out->update(0.5);
  EXPECT_EQ(node->opacity(), 127);
  out->update(1.0);
  EXPECT_EQ(node->opacity(), 0);
  EXPECT_NE(dynamic_cast<FadeIn*>(out->reverse().get()), nullptr);

  Ref<FadeTo> to = FadeTo::actionWithDuration(1, 0);
  node->setOpacity(200);
  to->startWithTarget(node.get());
  to->update(0.25);
  EXPECT_EQ(node->opacity(), 150);
  Ref<FadeTo> up = FadeTo::actionWithDuration(1, 255);
  node->setOpacity(0);
  up->startWithTarget(node.get());
  up->update(0.999);
  EXPECT_EQ(node->opacity(), 254);
  expectRaisesNoReverse(to);
}

TEST_F(PropertyActionsTest, FadesOnANodeWithoutOpacityChangeNothing) {
  Ref<Node> plain = stageNode();
  plain->do_(FadeIn::actionWithDuration(1));
  plain->do_(FadeOut::actionWithDuration(1));
  plain->do_(FadeTo::actionWithDuration(1, 10));
  tick(0.5);
  tick(0.5);
  tick(0.1);
  EXPECT_TRUE(plain->actions().empty());
  EXPECT_TRUE(plain->visible());
}

// --- Frame animation -----------------------------------------------------------------------------

class AnimateTest : public PropertyActionsTest {
 protected:
  Ref<Texture2D> texture() {
    const uint32_t pixel = 0xFFFFFFFF;
    return make<Texture2D>(&pixel, TexturePixelFormat::RGBA8888, 1u, 1u, CGSizeMake(1, 1));
  }
  Ref<Animation> animation(int frames, float delay) {
    std::vector<Ref<Texture2D>> list;
    for (int i = 0; i < frames; ++i) list.push_back(texture());
    Ref<Animation> a = Animation::animationWithName("walk", delay);
    a->setFrames(list);
    return a;
  }
  GLTarget gl;
};

TEST_F(AnimateTest, ShowsFramesInTurnAndRestoresTheTextureOnStop) {
  REQUIRE_GL(gl);
  Ref<Animation> walk = animation(3, 0.1f);
  Ref<Texture2D> original = texture();
  Ref<TextureNode> node = stageNode<TextureNode>();
  node->setTexture(original.get());
  Ref<Animate> anim = Animate::actionWithAnimation(walk);
  EXPECT_DOUBLE_EQ(anim->duration(), static_cast<double>(3 * 0.1f));

  LogCapture log;
  node->do_(anim);
  EXPECT_EQ(anim->origFrame(), original.get());
  tick(0.099);
  EXPECT_EQ(node->texture(), walk->frames()[0].get());
  tick(0.1);
  EXPECT_EQ(node->texture(), walk->frames()[1].get());
  EXPECT_TRUE(log.contains("idx: 1"));
  tick(0.11);  // past the end: the action is stopped in this step
  EXPECT_EQ(node->texture(), original.get());
  // Ours, the node's and the action's remembered one; the frames are held by the animation only.
  EXPECT_EQ(original->retainCount(), 3);
  for (const auto& frame : walk->frames()) EXPECT_EQ(frame->retainCount(), 1);
  expectRaisesNoReverse(anim);
}

TEST_F(AnimateTest, LastFrameAtTheEndWhateverTheFrameCount) {
  REQUIRE_GL(gl);
  for (int frames : {1, 2, 3, 4, 8}) {
    Ref<Animation> a = animation(frames, 0.25f);
    Ref<Animate> anim = Animate::actionWithAnimation(a);
    Ref<TextureNode> node = startOn<TextureNode>(anim.get());
    anim->update(1.0);
    EXPECT_EQ(node->texture(), a->frames().back().get()) << frames << " frames";
    anim->update(0.0);
    EXPECT_EQ(node->texture(), a->frames().front().get()) << frames << " frames";
  }
  // An empty animation lasts no time and changes nothing.
  Ref<Animate> none = Animate::actionWithAnimation(animation(0, 0.1f));
  EXPECT_EQ(none->duration(), 0.0);
  Ref<TextureNode> node = startOn<TextureNode>(none.get());
  none->update(1.0);
  EXPECT_EQ(node->texture(), nullptr);

  // A node without a texture property is left alone.
  Ref<Animate> onPlain = Animate::actionWithAnimation(animation(2, 0.1f));
  Ref<Node> plain = startOn<Node>(onPlain.get());
  onPlain->update(0.7);
  onPlain->stop();
  EXPECT_EQ(onPlain->origFrame(), nullptr);
}

}  // namespace
