#include <gtest/gtest.h>

#include "StageTestSupport.h"
#include "engine/scene/Camera.h"
#include "engine/scene/Layer.h"
#include "engine/menu/Menu.h"
#include "engine/transitions/Transition.h"
#include "engine/transitions/TransitionRegistry.h"

using namespace peckish;
using namespace peckish::test;

namespace {

constexpr PackedColor kRed = 0xFF0000FF;
constexpr PackedColor kBlue = 0x0000FFFF;
constexpr double kStep = 1.0 / 16;

// A scene filled with one colour that reports its destruction.
class ColorScene : public Scene {
 public:
  explicit ColorScene(PackedColor c, bool* destroyed = nullptr) : destroyed_(destroyed) {
    add(ColorLayer::layerWithColor(c));
  }
  ~ColorScene() override {
    if (destroyed_) *destroyed_ = true;
  }

 private:
  bool* destroyed_;
};

class TransitionTest : public StageTest {
 protected:
  void SetUp() override {
    StageTest::SetUp();
    run(Scene::node());  // the scene on the Director's stack; the tests replace it
  }
  // Frames of kStep until the Director runs `scene`; returns how many it took.
  int framesUntilRunning(Scene* scene, int limit = 100) {
    int n = 0;
    while (director->runningScene() != scene && n < limit) {
      frame(kStep);
      ++n;
    }
    return n;
  }
};

void expectReset(Scene* s) {
  EXPECT_EQ(s->position(), vzero);
  EXPECT_EQ(s->scale(), 1.f);
  EXPECT_EQ(s->rotation(), 0.f);
  EXPECT_TRUE(s->visible());
  EXPECT_EQ(s->transformAnchor(), Vec2(240, 160));
  ASSERT_NE(s->camera(), nullptr);
  EXPECT_FALSE(s->camera()->dirty());
  Camera fresh;
  EXPECT_EQ(s->camera()->eye(), fresh.eye());
  EXPECT_EQ(s->camera()->center(), fresh.center());
  EXPECT_EQ(s->camera()->up(), fresh.up());
}

void expectNear(Vec2 actual, Vec2 expected) {
  EXPECT_NEAR(actual.x, expected.x, 1e-3) << "x";
  EXPECT_NEAR(actual.y, expected.y, 1e-3) << "y";
}

TEST_F(TransitionTest, FadeGoesThroughBlackAndSwapsTheScenesHalfway) {
  Ref<Scene> out = make<ColorScene>(kRed);
  run(out);
  Ref<Scene> in = make<ColorScene>(kBlue);
  Ref<FadeTransition> t = FadeTransition::transitionWithDuration(1.0, in);
  EXPECT_EQ(t->outScene(), out.get());
  EXPECT_EQ(t->inScene(), in.get());
  EXPECT_FALSE(in->visible());
  auto* fade = t->getAs<ColorLayer>("fade");
  ASSERT_NE(fade, nullptr);
  EXPECT_EQ(fade->color(), 0u);

  director->replaceScene(t);
  frame(0);  // the transition enters and the fade begins
  frames(4, kStep);  // 0.25 s
  EXPECT_EQ(fade->opacity(), 127);
  frame(0);
  const std::uint32_t dimmed = scenePixel(240, 160);  // red half covered by black
  EXPECT_NEAR(int(dimmed >> 24), 128, 3);
  EXPECT_EQ(dimmed & 0x00FFFF00u, 0u);

  frames(4, kStep);  // 0.5 s
  EXPECT_EQ(fade->opacity(), 255);
  EXPECT_FALSE(out->visible());
  EXPECT_TRUE(in->visible());
  frame(0);
  EXPECT_EQ(scenePixel(240, 160), 0u);
  EXPECT_EQ(scenePixel(10, 300), 0u);

  frames(7, kStep);  // 0.9375 s: coming back from black with the new scene
  EXPECT_EQ(director->runningScene(), t.get());
  frame(0);
  EXPECT_GT(scenePixel(240, 160) >> 8 & 0xFF, 0u);
  EXPECT_EQ(scenePixel(240, 160) >> 24, 0u);

  frame(kStep);  // 1.0 s: finish
  EXPECT_EQ(director->nextScene(), in.get());
  EXPECT_EQ(t->inScene(), nullptr);
  EXPECT_EQ(t->outScene(), nullptr);
  EXPECT_EQ(in->parent(), nullptr);
  EXPECT_EQ(out->parent(), nullptr);

  frame(0);  // the switch
  EXPECT_EQ(director->runningScene(), in.get());
  EXPECT_EQ(t->get("fade"), nullptr);
  EXPECT_EQ(t->retainCount(), 1);  // only this test holds it now
  EXPECT_EQ(scenePixel(240, 160), 0x0000FF00u);
  EXPECT_TRUE(out->visible());
}

TEST_F(TransitionTest, EveryKindEndsWithBothScenesResetAndTheOldSceneReleased) {
  ASSERT_EQ(transitionKinds().size(), 15u);
  for (const TransitionKind& kind : transitionKinds()) {
    SCOPED_TRACE(kind.name);
    bool outGone = false;
    Ref<Scene> in = make<ColorScene>(kBlue);
    {
      Ref<Scene> out = make<ColorScene>(kRed, &outGone);
      run(out);
      Ref<TransitionScene> t = kind.make(1.0, in);
      director->replaceScene(t);
      frame(0);
      EXPECT_EQ(framesUntilRunning(in.get()), 17);  // finish at 1 s, the switch one frame later
      frames(3, kStep);  // actions left over from the last frame have had their chance
      expectReset(in.get());
      expectReset(out.get());
      EXPECT_EQ(out->parent(), nullptr);
      EXPECT_TRUE(out->actions().empty());
      EXPECT_TRUE(in->actions().empty());
      EXPECT_EQ(t->retainCount(), 1);
      EXPECT_TRUE(t->children().empty());
    }
    EXPECT_TRUE(outGone) << "the outgoing scene outlived its transition";
  }
}

TEST_F(TransitionTest, TransitionToTheRunningSceneRaises) {
  Ref<Scene> scene = make<ColorScene>(kRed);
  run(scene);
  expectRaise([&] { FadeTransition::transitionWithDuration(1.0, scene); }, "TransitionWithInvalidScene",
              "Incoming scene must be different from the outgoing scene");
  expectRaise([&] { MoveInRTransition::transitionWithDuration(1.0, nullptr); }, "TransitionWithInvalidScene",
              "Incoming scene must be different from the outgoing scene");
  EXPECT_EQ(scene->parent(), nullptr);
  EXPECT_EQ(director->runningScene(), scene.get());
  EXPECT_EQ(director->nextScene(), nullptr);
}

TEST_F(TransitionTest, WithNothingRunningTheTransitionStartsFromAnEmptyScene) {
  Director::purgeShared();
  director = Director::sharedDirector();
  ASSERT_NE(director, nullptr);
  director->setLandscape(true);
  Ref<Scene> in = make<ColorScene>(kBlue);
  Ref<FadeTransition> t = FadeTransition::transitionWithDuration(0.5, in);
  ASSERT_NE(t->outScene(), nullptr);
  EXPECT_TRUE(t->outScene()->children().empty());
  director->runScene(t);
  frame(0);
  EXPECT_EQ(framesUntilRunning(in.get()), 9);
}

struct MoveCase {
  const char* name;
  Ref<TransitionScene> (*make)(double, Ref<Scene>);
  Vec2 inStart;
  Vec2 inAtQuarter;   // 0.25 s of 1 s: eased progress 0.5
  Vec2 outAtQuarter;
};

template <class T>
Ref<TransitionScene> makeKind(double d, Ref<Scene> s) {
  return T::transitionWithDuration(d, std::move(s));
}

TEST_F(TransitionTest, MoveInAndSlideInStartOffScreenAndEaseIn) {
  const MoveCase cases[] = {
      {"MoveInL", &makeKind<MoveInLTransition>, {-480, 0}, {-240, 0}, {0, 0}},
      {"MoveInR", &makeKind<MoveInRTransition>, {480, 0}, {240, 0}, {0, 0}},
      {"MoveInT", &makeKind<MoveInTTransition>, {0, 320}, {0, 160}, {0, 0}},
      {"MoveInB", &makeKind<MoveInBTransition>, {0, -320}, {0, -160}, {0, 0}},
      {"SlideInL", &makeKind<SlideInLTransition>, {-480, 0}, {-240, 0}, {240, 0}},
      {"SlideInR", &makeKind<SlideInRTransition>, {480, 0}, {240, 0}, {-240, 0}},
      {"SlideInT", &makeKind<SlideInTTransition>, {0, 320}, {0, 160}, {0, -160}},
      {"SlideInB", &makeKind<SlideInBTransition>, {0, -320}, {0, -160}, {0, 160}},
  };
  for (const MoveCase& c : cases) {
    SCOPED_TRACE(c.name);
    Ref<Scene> out = make<ColorScene>(kRed);
    run(out);
    Ref<Scene> in = make<ColorScene>(kBlue);
    Ref<TransitionScene> t = c.make(1.0, in);
    EXPECT_EQ(in->position(), c.inStart);
    director->replaceScene(t);
    frame(0);
    frames(4, kStep);
    expectNear(in->position(), c.inAtQuarter);
    expectNear(out->position(), c.outAtQuarter);
    frames(11, kStep);  // 0.9375 s: nearly there, not finished
    EXPECT_EQ(director->nextScene(), nullptr);
    frame(kStep);
    EXPECT_EQ(director->nextScene(), in.get());
    frame(0);
  }
}

TEST_F(TransitionTest, ShrinkGrowAndRotoZoomHalfway) {
  Ref<Scene> out = make<ColorScene>(kRed);
  run(out);
  Ref<Scene> in = make<ColorScene>(kBlue);
  director->replaceScene(ShrinkGrowTransition::transitionWithDuration(1.0, in));
  EXPECT_EQ(in->transformAnchor(), Vec2(320, 160));
  EXPECT_EQ(out->transformAnchor(), Vec2(160, 160));
  frame(0);
  frames(4, kStep);  // eased progress 0.5
  EXPECT_NEAR(in->scale(), 0.5005f, 1e-4);
  EXPECT_NEAR(out->scale(), 0.505f, 1e-4);
  framesUntilRunning(in.get());

  Ref<Scene> next = make<ColorScene>(kRed);
  director->replaceScene(RotoZoomTransition::transitionWithDuration(1.0, next));
  EXPECT_EQ(next->scale(), 0.001f);
  frame(0);
  frames(4, kStep);  // the outgoing scene is half way through its spin
  EXPECT_NEAR(in->rotation(), 360.f, 1e-3);
  EXPECT_NEAR(in->scale(), 0.5005f, 1e-4);
  EXPECT_EQ(next->rotation(), 0.f);
  frames(6, kStep);  // 0.625 s: the incoming scene spins the other way
  EXPECT_LT(next->rotation(), 0.f);
  EXPECT_GT(next->scale(), 0.001f);
}

TEST_F(TransitionTest, JumpZoomTimings) {
  constexpr double kEighth = 0.125;
  Ref<Scene> out = make<ColorScene>(kRed);
  run(out);
  Ref<Scene> in = make<ColorScene>(kBlue);
  director->replaceScene(JumpZoomTransition::transitionWithDuration(2.0, in));
  EXPECT_EQ(in->scale(), 0.5f);
  EXPECT_EQ(in->position(), Vec2(480, 0));
  frame(0);
  frames(2, kEighth);  // 0.25 s
  EXPECT_NEAR(out->scale(), 0.75f, 1e-5);
  frames(2, kEighth);  // 0.5 s: shrunk, not moved yet
  EXPECT_NEAR(out->scale(), 0.5f, 1e-5);
  expectNear(out->position(), {0, 0});
  frames(2, kEighth);  // 0.75 s: half way out, between two arches
  expectNear(out->position(), {-240, 0});
  frames(2, kEighth);  // 1.0 s: out; the incoming scene has waited
  expectNear(out->position(), {-480, 0});
  expectNear(in->position(), {480, 0});
  EXPECT_EQ(in->scale(), 0.5f);
  frames(1, kEighth);  // 1.125 s: in the air
  EXPECT_GT(in->position().y, 0.f);
  frames(1, kEighth);  // 1.25 s
  expectNear(in->position(), {240, 0});
  frames(2, kEighth);  // 1.5 s: landed, still small
  expectNear(in->position(), {0, 0});
  EXPECT_NEAR(in->scale(), 0.5f, 1e-5);
  expectNear(out->position(), {-480, 0});  // the jump of the incoming side did not move it
  frames(2, kEighth);  // 1.75 s
  EXPECT_NEAR(in->scale(), 0.75f, 1e-5);
  EXPECT_EQ(director->nextScene(), nullptr);
  frames(2, kEighth);  // 2.0 s
  EXPECT_EQ(director->nextScene(), in.get());
  settle();
}

TEST_F(TransitionTest, FlipsTurnTheCamerasAndShowTheIncomingSceneHalfway) {
  // The eye's direction from the centre, in units of the default eye distance, at a quarter of
  // the time (the outgoing orbit halfway: zenith 45 degrees) and at three quarters (the incoming
  // orbit halfway: zenith 315 degrees), at each kind's azimuth.
  const float h = float(M_SQRT1_2);
  const struct {
    const char* name;
    Ref<TransitionScene> (*make)(double, Ref<Scene>);
    Vec3f outAtQuarter, inAtThreeQuarters;
  } kinds[] = {
      {"FlipX", &makeKind<FlipXTransition>, {h, 0, h}, {-h, 0, h}},
      {"FlipY", &makeKind<FlipYTransition>, {0, h, h}, {0, -h, h}},
      {"FlipAngular", &makeKind<FlipAngularTransition>, {0.5f, 0.5f, h}, {-0.5f, 0.5f, h}},
  };
  const auto expectEyeAt = [](Camera* cam, Vec3f dir, const char* when) {
    const float z = Camera::getZEye();
    const Vec3f c = cam->center(), e = cam->eye();
    EXPECT_EQ(c, Camera().center()) << when;
    EXPECT_NEAR(e.x, c.x + dir.x * z, 1e-2) << when;
    EXPECT_NEAR(e.y, c.y + dir.y * z, 1e-2) << when;
    EXPECT_NEAR(e.z, c.z + dir.z * z, 1e-2) << when;
  };
  for (const auto& kind : kinds) {
    SCOPED_TRACE(kind.name);
    Ref<Scene> out = make<ColorScene>(kRed);
    run(out);
    Ref<Scene> in = make<ColorScene>(kBlue);
    director->replaceScene(kind.make(1.0, in));
    EXPECT_FALSE(in->visible());
    frame(0);
    frames(4, kStep);  // 0.25 s
    EXPECT_TRUE(out->camera()->dirty());
    expectEyeAt(out->camera(), kind.outAtQuarter, "outgoing at 1/4");
    EXPECT_TRUE(out->visible());
    EXPECT_FALSE(in->visible());
    frames(8, kStep);  // 0.75 s
    EXPECT_FALSE(out->visible());
    EXPECT_TRUE(in->visible());
    EXPECT_TRUE(in->camera()->dirty());
    expectEyeAt(in->camera(), kind.inAtThreeQuarters, "incoming at 3/4");
    framesUntilRunning(in.get());
    EXPECT_FALSE(in->camera()->dirty());
    EXPECT_FALSE(out->camera()->dirty());
  }
}

TEST_F(TransitionTest, TheIncomingMenuHandlesTouchesDuringAndAfterTheTransition) {
  Ref<Scene> out = make<ColorScene>(kRed);
  Ref<Menu> oldMenu = Menu::menuWithItems(MenuItem::itemFromString("Old", Callback<void()>()));
  out->add(oldMenu);
  run(out);
  ASSERT_EQ(director->eventHandler(), oldMenu.get());
  Ref<Scene> in = make<ColorScene>(kBlue);
  Ref<Menu> newMenu = Menu::menuWithItems(MenuItem::itemFromString("New", Callback<void()>()));
  in->add(newMenu);
  director->replaceScene(FadeTransition::transitionWithDuration(0.5, in));
  frame(0);
  EXPECT_EQ(director->eventHandler(), newMenu.get());
  frames(8, kStep);  // finish
  EXPECT_EQ(director->nextScene(), in.get());
  EXPECT_EQ(director->eventHandler(), nullptr);
  frame(0);
  EXPECT_EQ(director->eventHandler(), newMenu.get());
}

TEST_F(TransitionTest, AReplacedTransitionLeavesNoCallsBehind) {
  Ref<Scene> out = make<ColorScene>(kRed);
  run(out);
  Ref<Scene> in = make<ColorScene>(kBlue);
  director->replaceScene(MoveInLTransition::transitionWithDuration(1.0, in));
  frame(0);
  frames(4, kStep);
  Ref<Scene> other = make<ColorScene>(kRed);
  run(other);  // the transition is dropped half way
  EXPECT_TRUE(in->actions().empty());
  // The incoming scene can still be shown on its own without its old move finishing anything.
  run(in);
  frames(20, kStep);
  EXPECT_EQ(director->runningScene(), in.get());
}

}  // namespace
