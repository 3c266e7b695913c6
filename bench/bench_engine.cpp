// Frame cost of the engine through the Director on a headless GL surface:
//
//   BM_EngineFrame / BM_FullFrame   1,000 sprite-sized (untextured) nodes, each turning, drifting
//                                   and pulsing under its own running actions;
//   BM_SpriteEngineFrame / BM_SpriteFullFrame
//                                   1,000 textured sprites (the game's own pictures, five textures
//                                   taking turns) under the engine's own actions, repeated
//                                   sequences of MoveBy/RotateBy/ScaleBy/FadeTo and their reverses.
//
// Reports frames per second and heap allocations per frame (operator new is counted). The engine
// frame (visit of the unchanged tree, scheduler walk, action steps) must allocate nothing in
// steady state; the full frame adds the platform's present.
//
//   SDL_VIDEODRIVER=offscreen build-bench/bench/bench_engine
#include <benchmark/benchmark.h>

#include <stdlib.h>

#include <cmath>
#include <cstdlib>

#include "AllocationCounter.h"
#include "engine/Action.h"
#include "engine/CompositeActions.h"
#include "engine/PropertyActions.h"
#include "engine/Sprite.h"
#include "engine/Texture2D.h"
#include "engine/Director.h"
#include "engine/Scene.h"
#include "engine/Scheduler.h"
#include "platform/RunLoop.h"


namespace {

using namespace peckish;

constexpr int kNodes = 1000;
constexpr double kDt = 1.0 / 60;

// Turns its target and moves it round a small circle; long enough never to finish here.
class Wander : public IntervalAction {
 public:
  explicit Wander(Vec2 centre) : IntervalAction(1e9), centre_(centre) {}
  void update(double) override {
    const float a = static_cast<float>(elapsed_);
    target_->setRotation(a * 90.f);
    target_->setPosition(Vec2(centre_.x + 10.f * std::cos(a), centre_.y + 10.f * std::sin(a)));
  }
  Ref<Action> copy() const override { return make<Wander>(centre_); }

 private:
  Vec2 centre_;
};

class Pulse : public IntervalAction {
 public:
  Pulse() : IntervalAction(1e9) {}
  void update(double) override { target_->setScale(1.f + 0.25f * std::sin(static_cast<float>(elapsed_) * 3.f)); }
  Ref<Action> copy() const override { return make<Pulse>(); }
};

// A node the size of a character sprite: anchored at its centre.
class SpriteSized : public Node {
 public:
  SpriteSized() {
    transformAnchor_ = Vec2(32, 40);
    childrenAnchor_ = Vec2(32, 40);
  }
};

// Turns, drifts, pulses and fades a textured sprite with the engine's own actions, each a
// back-and-forth sequence repeated far beyond the run.
void animate(Node* n, int i) {
  constexpr unsigned kForever = 1000000;
  const float d = 0.5f + static_cast<float>(i % 7) * 0.25f;
  Ref<Action> move = MoveBy::actionWithDuration(d, Vec2(12.f, static_cast<float>(i % 5) - 2.f));
  n->do_(Repeat::actionWithAction(Sequence::actions(move, move->reverse()), kForever));
  n->do_(Repeat::actionWithAction(RotateBy::actionWithDuration(d * 2, 360.f), kForever));
  Ref<Action> scale = ScaleBy::actionWithDuration(d * 0.75, 1.3f);
  n->do_(Repeat::actionWithAction(Sequence::actions(scale, scale->reverse()), kForever));
  n->do_(Repeat::actionWithAction(
      Sequence::actions(FadeTo::actionWithDuration(d, 96), FadeTo::actionWithDuration(d, 255)), kForever));
}

Ref<Scene> nodeScene() {
  Ref<Scene> scene = Scene::node();
  for (int i = 0; i < kNodes; ++i) {
    Ref<Node> n = make<SpriteSized>();
    const Vec2 at(static_cast<float>(20 + (i % 40) * 11), static_cast<float>(20 + (i / 40) * 11));
    n->setPosition(at);
    n->do_(make<Wander>(at));
    n->do_(make<Pulse>());
    scene->add(n, i % 3 - 1);
  }
  return scene;
}

Ref<Scene> spriteScene() {
  static const char* const kPictures[] = {"Rooster.png", "Girl.png", "YellowStar.png", "RedStar.png", "fire.png"};
  Ref<Scene> scene = Scene::node();
  for (int i = 0; i < kNodes; ++i) {
    Ref<Sprite> s = Sprite::spriteFromFile(kPictures[i % 5]);
    s->setPosition(Vec2(static_cast<float>(10 + (i % 40) * 12), static_cast<float>(10 + (i / 40) * 12)));
    s->setScale(0.3f);
    animate(s.get(), i);
    scene->add(s, i % 3 - 1);
  }
  return scene;
}

struct Stage {
  platform::FakeClock clock;
  Director* director = nullptr;
  Ref<Scene> scene;

  Stage() {
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    setenv("PECKISH_RESOURCES", PECKISH_SOURCE_DIR "/resources", 0);
    platform::RunLoop::main().setClock(&clock);
    director = Director::sharedDirector();
    if (!director) return;
    director->setLandscape(true);
  }
  // Makes the scene the running one and lets it settle for a few frames.
  void show(Ref<Scene> next) {
    if (scene == next) return;
    scene = std::move(next);
    if (director->runningScene())
      director->replaceScene(scene);
    else
      director->runScene(scene);
    director->stopAnimation();  // frames are driven by hand
    for (int i = 0; i < 10; ++i) frame();
  }
  void frame() {
    clock.advance(kDt);
    director->drawScene();
  }
  // The engine's share of a frame: the scene's visit under the landscape transform and the
  // scheduler's tick.
  void engineFrame() {
    clock.advance(kDt);
    director->calculateDeltaTime();
    director->setCurrentContext();
    glPushMatrix();
    director->applyLandscape();
    scene->visit();
    glPopMatrix();
    Scheduler::sharedScheduler()->tick(director->dt());
  }
};

Stage& stage() {
  static Stage s;
  return s;
}

const Ref<Scene>& nodes() {
  static Ref<Scene> s = nodeScene();
  return s;
}

const Ref<Scene>& sprites() {
  static Ref<Scene> s = spriteScene();
  return s;
}

void report(benchmark::State& state, std::uint64_t allocations) {
  const double frames = static_cast<double>(state.iterations());
  state.counters["allocs_per_frame"] = benchmark::Counter(static_cast<double>(allocations) / frames);
  state.counters["frames_per_second"] = benchmark::Counter(frames, benchmark::Counter::kIsRate);
  if (allocations != 0) state.SetLabel("ALLOCATES in steady state");
}

template <const Ref<Scene>& (*Build)(), bool Full>
void runFrames(benchmark::State& state) {
  Stage& s = stage();
  if (!s.director) {
    state.SkipWithError("no GL surface");
    return;
  }
  s.show(Build());
  Full ? s.frame() : s.engineFrame();
  const std::uint64_t before = bench::allocations();
  for (auto _ : state) Full ? s.frame() : s.engineFrame();
  report(state, bench::allocations() - before);
}

void BM_EngineFrame(benchmark::State& state) { runFrames<nodes, false>(state); }
void BM_FullFrame(benchmark::State& state) { runFrames<nodes, true>(state); }
void BM_SpriteEngineFrame(benchmark::State& state) { runFrames<sprites, false>(state); }
void BM_SpriteFullFrame(benchmark::State& state) { runFrames<sprites, true>(state); }
BENCHMARK(BM_EngineFrame)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_FullFrame)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_SpriteEngineFrame)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_SpriteFullFrame)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
