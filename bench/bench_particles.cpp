// Particle frames at 1,500 live particles (the fireworks preset): the cost of a whole frame
// (emission, step, buffer upload and point-sprite draw on a headless GL) and of the step alone,
// with the heap allocations made per frame counted through a replaced operator new. A frame that
// allocates is labelled so.
#include <benchmark/benchmark.h>

#include <cstdlib>

#include "AllocationCounter.h"
#include "engine/particles/ParticleSystems.h"
#include "platform/GLContext.h"
#include "platform/GLES.h"
#include "platform/RunLoop.h"


namespace {

using namespace peckish;

// The fireworks preset with the step reachable on its own.
class BenchFireworks : public ParticleFireworks {
 public:
  void stepOnly(double dt) {
    particleIdx_ = 0;
    updateParticlesWithDelta(dt);
  }
};

// A current GL context drawing into a 320 x 480 framebuffer object, as the game's view does.
struct Surface {
  Surface() {
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    context = platform::GLContext::create();
    if (!context || !platform::GLContext::setCurrentContext(context.get())) return;
    glGenFramebuffersOES(1, &fbo);
    glBindFramebufferOES(GL_FRAMEBUFFER_OES, fbo);
    glGenRenderbuffersOES(1, &rbo);
    glBindRenderbufferOES(GL_RENDERBUFFER_OES, rbo);
    glRenderbufferStorageOES(GL_RENDERBUFFER_OES, GL_RGBA8_OES, 320, 480);
    glFramebufferRenderbufferOES(GL_FRAMEBUFFER_OES, GL_COLOR_ATTACHMENT0_OES, GL_RENDERBUFFER_OES, rbo);
    ok = glCheckFramebufferStatusOES(GL_FRAMEBUFFER_OES) == GL_FRAMEBUFFER_COMPLETE_OES;
    glViewport(0, 0, 320, 480);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrthof(0, 320, 0, 480, -1024, 1024);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  }
  Ref<platform::GLContext> context;
  GLuint fbo = 0, rbo = 0;
  bool ok = false;
};

constexpr double kFrame = 1.0 / 60;

// Runs frames until the pool is full (1,500 live), as in the middle of a long display.
Ref<BenchFireworks> warmedUp(platform::FakeClock& clock) {
  ParticleSystem::resetLastStepTime();
  auto s = ParticleSystem::create<BenchFireworks>();
  s->draw();  // the first step of the process only records the time
  for (int i = 0; i < 2000 && s->particleCount() < s->totalParticles(); ++i) {
    clock.advance(kFrame);
    s->draw();
  }
  for (int i = 0; i < 30; ++i) {  // settle the driver's caches
    clock.advance(kFrame);
    s->draw();
  }
  glFinish();
  return s;
}

void reportAllocations(benchmark::State& state, long allocations) {
  const double perFrame = double(allocations) / double(state.iterations());
  state.counters["allocs_per_frame"] = perFrame;
  if (allocations != 0) state.SetLabel("ALLOCATES in steady state");
}

void BM_FireworksFrame(benchmark::State& state) {
  Surface surface;
  if (!surface.ok) {
    state.SkipWithError("no headless GL context");
    return;
  }
  platform::FakeClock clock;
  platform::RunLoop::main().setClock(&clock);
  Ref<BenchFireworks> s = warmedUp(clock);
  long live = 0;
  const long before = static_cast<long>(bench::allocations());
  for (auto _ : state) {
    clock.advance(kFrame);
    s->draw();
    glFinish();
    live += s->particleIdx();
  }
  const long allocations = static_cast<long>(bench::allocations()) - before;
  state.counters["live"] = double(live) / double(state.iterations());
  state.SetItemsProcessed(live);
  reportAllocations(state, allocations);
  platform::RunLoop::main().setClock(nullptr);
}
BENCHMARK(BM_FireworksFrame)->Unit(benchmark::kMicrosecond);

void BM_FireworksStep(benchmark::State& state) {
  Surface surface;
  if (!surface.ok) {
    state.SkipWithError("no headless GL context");
    return;
  }
  platform::FakeClock clock;
  platform::RunLoop::main().setClock(&clock);
  Ref<BenchFireworks> s = warmedUp(clock);
  long stepped = 0;
  const long before = static_cast<long>(bench::allocations());
  for (auto _ : state) {
    // A tiny step keeps the population at 1,500 for the whole run.
    s->stepOnly(1e-6);
    benchmark::DoNotOptimize(s->vertices());
    stepped += s->particleIdx();
  }
  const long allocations = static_cast<long>(bench::allocations()) - before;
  state.counters["live"] = double(stepped) / double(state.iterations());
  state.SetItemsProcessed(stepped);
  reportAllocations(state, allocations);
  platform::RunLoop::main().setClock(nullptr);
}
BENCHMARK(BM_FireworksStep)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
