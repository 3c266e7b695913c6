// Frame cost of the engine: a scene of 1,000 sprite-sized nodes, each turning, drifting and
// pulsing under its own running actions, drawn and stepped through the Director.
//
// Reports frames per second and heap allocations per frame (operator new is counted). The engine
// frame (visit of the unchanged tree, scheduler walk, action steps) must allocate nothing in
// steady state; the full frame adds the platform's present.
//
//   SDL_VIDEODRIVER=offscreen build/bench/bench_engine
#include <benchmark/benchmark.h>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <new>

#include "engine/Action.h"
#include "engine/Director.h"
#include "engine/Scene.h"
#include "engine/Scheduler.h"
#include "platform/RunLoop.h"

namespace {
std::atomic<std::uint64_t> gAllocations{0};
}  // namespace

// Counting replacements of the global allocation functions (malloc-backed on both sides).
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(std::size_t n) {
  gAllocations.fetch_add(1, std::memory_order_relaxed);
  if (void* p = std::malloc(n ? n : 1)) return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t n) {
  gAllocations.fetch_add(1, std::memory_order_relaxed);
  if (void* p = std::malloc(n ? n : 1)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
#pragma GCC diagnostic pop

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

struct Stage {
  platform::FakeClock clock;
  Director* director = nullptr;
  Ref<Scene> scene;

  Stage() {
    platform::RunLoop::main().setClock(&clock);
    director = Director::sharedDirector();
    if (!director) return;
    director->setLandscape(true);
    scene = Scene::node();
    for (int i = 0; i < kNodes; ++i) {
      Ref<Node> n = make<SpriteSized>();
      const Vec2 at(static_cast<float>(20 + (i % 40) * 11), static_cast<float>(20 + (i / 40) * 11));
      n->setPosition(at);
      n->do_(make<Wander>(at));
      n->do_(make<Pulse>());
      scene->add(n, i % 3 - 1);
    }
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

void report(benchmark::State& state, std::uint64_t allocations) {
  const double frames = static_cast<double>(state.iterations());
  state.counters["allocs_per_frame"] = benchmark::Counter(static_cast<double>(allocations) / frames);
  state.counters["frames_per_second"] = benchmark::Counter(frames, benchmark::Counter::kIsRate);
}

void BM_EngineFrame(benchmark::State& state) {
  Stage& s = stage();
  if (!s.director) {
    state.SkipWithError("no GL surface");
    return;
  }
  s.engineFrame();
  const std::uint64_t before = gAllocations.load();
  for (auto _ : state) s.engineFrame();
  const std::uint64_t allocations = gAllocations.load() - before;
  report(state, allocations);
  if (allocations != 0) state.SkipWithError("the engine frame allocated in steady state");
}
BENCHMARK(BM_EngineFrame)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_FullFrame(benchmark::State& state) {
  Stage& s = stage();
  if (!s.director) {
    state.SkipWithError("no GL surface");
    return;
  }
  s.frame();
  const std::uint64_t before = gAllocations.load();
  for (auto _ : state) s.frame();
  report(state, gAllocations.load() - before);
}
BENCHMARK(BM_FullFrame)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
