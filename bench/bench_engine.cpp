// Frame cost of the engine through the Director on a headless GL surface:
//
//   BM_EngineFrame / BM_FullFrame   1,000 sprite-sized (untextured) nodes, each turning, drifting
//                                   and pulsing under its own running actions;
//   BM_SpriteEngineFrame / BM_SpriteFullFrame
//                                   1,000 textured sprites (the game's own pictures, five textures
//                                   taking turns) under the engine's own actions, repeated
//                                   sequences of MoveBy/RotateBy/ScaleBy/FadeTo and their reverses,
//                                   at content scale 1 (a 480 x 320 surface);
//   BM_SpritesVsFloor<batched>      the full sprite frame against its floor, frame by frame in
//                                   turn: the floor is the cheapest rendering of the same 1,000
//                                   quads (as the sprite frame will draw them; gathered untimed)
//                                   from one texture atlas in one vertex array with one draw call,
//                                   straight into the window's framebuffer from a GL context of
//                                   its own with its own minimal state (not through the Director
//                                   or the present): cleared, drawn, swapped. The argument is the
//                                   content scale. The window is opened at BENCH_WINDOW_SCALE (2:
//                                   960 x 640); at that scale both draw straight into the window,
//                                   as the game does in a real one. At a scale whose surface is
//                                   smaller the Director keeps its own surface and the floor draws
//                                   in a corner of the window; a larger one is skipped (run again
//                                   with BENCH_WINDOW_SCALE=4 for 1920 x 1280);
//                                   <false> draws every sprite with its own draw call.
//
// Reports frames per second and heap allocations per frame (operator new is counted). The engine
// frame (visit of the unchanged tree, scheduler walk, action steps) must allocate nothing in
// steady state; the full frame adds the platform's present.
//
//   SDL_VIDEODRIVER=offscreen build-bench/bench/bench_engine
#include <benchmark/benchmark.h>

#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <vector>

#include "AllocationCounter.h"
#include "engine/actions/Action.h"
#include "engine/actions/CompositeActions.h"
#include "engine/actions/PropertyActions.h"
#include "engine/render/Sprite.h"
#include "engine/render/Texture2D.h"
#include "engine/scene/Director.h"
#include "engine/render/QuadBatch.h"
#include "engine/scene/Scene.h"
#include "engine/scene/Scheduler.h"
#include "platform/Display.h"
#include "platform/GLContext.h"
#include "platform/GLES.h"
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
    // The window at the scale measured against the floor (BENCH_WINDOW_SCALE, 2 unless set: 960 x
    // 640), and at that scale the Director draws straight into it as into a real window, the
    // offscreen driver's framebuffer being kept at exactly that size. The floor draws into the same
    // framebuffer. The Director draws RGBA8, as the game's does.
    const char* windowScale = getenv("BENCH_WINDOW_SCALE");
    platform::Display::openHeadless(windowScale && atoi(windowScale) > 0 ? atoi(windowScale) : 2);
    if (platform::Display* display = platform::Display::shared()) display->forceWindowFramebuffer(true);
    Director::setPixelFormat(1);
    director = Director::sharedDirector();
    if (!director) return;
    director->setLandscape(true);
    director->setAutoresizesEAGLSurface(true);
  }
  // Renders at `scale` surface pixels per point (the surface is rebuilt when the scale changes).
  void setScale(float scale) {
    director->setContentScaleFactor(scale);
    director->setCurrentContext();
    director->setDefaultProjection();
    const CGSize pixels = director->surfaceSize();
    glViewport(0, 0, GLsizei(pixels.width), GLsizei(pixels.height));
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
  s.setScale(1.f);
  s.show(Build());
  Full ? s.frame() : s.engineFrame();
  const std::uint64_t before = bench::allocations();
  for (auto _ : state) Full ? s.frame() : s.engineFrame();
  report(state, bench::allocations() - before);
}

// The sprite scene's quads as they stand now, in landscape points: one vertex array (two
// triangles a quad, corners as drawAtPoint orders them), drawn with the sprites' shared atlas.
struct FloorQuads {
  struct Vertex {
    GLfloat x, y, s, t;
    GLubyte color[4];
  };
  std::vector<Vertex> vertices;
  GLuint texture = 0;

  // Keeps the array's capacity, so that rebuilding every frame allocates nothing.
  bool build(Scene* scene) {
    vertices.clear();
    texture = 0;
    for (const auto& e : scene->children()) {
      auto* sprite = dynamic_cast<Sprite*>(e.node.get());
      if (!sprite || !sprite->texture()) continue;
      const Texture2D* t = sprite->texture();
      if (texture != 0 && t->name() != texture) return false;  // not one atlas
      texture = t->name();
      const CGSize size = t->contentSize();
      const Vec2 a = sprite->transformAnchor();
      const Vec2 p = sprite->position();
      const float k = sprite->scale();
      const float angle = -sprite->rotation() * 3.14159265358979f / 180.f;
      const float c = std::cos(angle) * k, sn = std::sin(angle) * k;
      const GLfloat qx[4] = {0.f, size.width, 0.f, size.width};
      const GLfloat qy[4] = {0.f, 0.f, size.height, size.height};
      const GLfloat qs[4] = {t->minS(), t->maxS(), t->minS(), t->maxS()};
      const GLfloat qt[4] = {t->maxT(), t->maxT(), t->minT(), t->minT()};
      Vertex corner[4];
      for (int i = 0; i < 4; ++i) {
        const float dx = qx[i] - a.x, dy = qy[i] - a.y;
        corner[i] = Vertex{p.x + c * dx - sn * dy, p.y + sn * dx + c * dy, qs[i], qt[i],
                           {sprite->r(), sprite->g(), sprite->b(), sprite->opacity()}};
      }
      for (int i : {0, 1, 2, 2, 1, 3}) vertices.push_back(corner[i]);
    }
    return texture != 0;
  }
};

// One floor frame, then one frame of the sprite scene (Director::drawScene), in turn, so that
// both are measured under the same load of a shared machine. The argument is the content scale.
template <bool Batched>
void BM_SpritesVsFloor(benchmark::State& state) {
  using Clock = std::chrono::steady_clock;
  Stage& s = stage();
  if (!s.director) {
    state.SkipWithError("no GL surface");
    return;
  }
  if (platform::Display* display = platform::Display::shared();
      display && 480 * state.range(0) > std::max(display->width(), display->height())) {
    state.SkipWithError("the window is smaller than this scale's surface (set BENCH_WINDOW_SCALE)");
    return;
  }
  s.setScale(float(state.range(0)));
  QuadBatch::setEnabled(Batched);
  s.show(sprites());
  FloorQuads floor;
  if (!floor.build(s.scene.get())) {
    QuadBatch::setEnabled(true);
    state.SkipWithError("the sprites' pictures do not share one texture");
    return;
  }
  // The floor's own context and state, set once: the window's framebuffer, landscape points on
  // the surface's pixels in its lower left corner, blending as the sprites', nothing else.
  platform::Display* display = platform::Display::shared();
  Ref<platform::GLContext> floorContext = platform::GLContext::create();
  if (!display || !floorContext) {
    QuadBatch::setEnabled(true);
    state.SkipWithError("no context for the floor");
    return;
  }
  const CGSize surface = s.director->surfaceSize();
  const GLsizei fw = GLsizei(surface.height), fh = GLsizei(surface.width);  // landscape
  platform::GLContext::setCurrentContext(floorContext.get());
  glBindFramebufferOES(GL_FRAMEBUFFER_OES, 0);
  glViewport(0, 0, fw, fh);
  glScissor(0, 0, fw, fh);
  glEnable(GL_SCISSOR_TEST);  // the clear covers the surface's pixels only
  glDisable(GL_DEPTH_TEST);
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrthof(0.f, 480.f, 0.f, 320.f, -1.f, 1.f);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glClearColor(0.f, 0.f, 0.f, 1.f);
  glEnable(GL_TEXTURE_2D);
  glEnableClientState(GL_VERTEX_ARRAY);
  glEnableClientState(GL_TEXTURE_COORD_ARRAY);
  glEnableClientState(GL_COLOR_ARRAY);
  auto floorFrame = [&] {
    glClear(GL_COLOR_BUFFER_BIT);
    glBindTexture(GL_TEXTURE_2D, floor.texture);
    const FloorQuads::Vertex* v = floor.vertices.data();
    glVertexPointer(2, GL_FLOAT, sizeof *v, &v->x);
    glTexCoordPointer(2, GL_FLOAT, sizeof *v, &v->s);
    glColorPointer(4, GL_UNSIGNED_BYTE, sizeof *v, v->color);
    glDrawArrays(GL_TRIANGLES, 0, GLsizei(floor.vertices.size()));
    display->swapWindow();
    glFinish();
  };
  // Neither the swap nor the present waits for the GL: each timed frame ends with glFinish, so it
  // includes its own rasterisation and none of it is left to the other.
  auto spriteFrame = [&] {
    s.frame();
    glFinish();
  };
  floorFrame();
  s.director->setCurrentContext();
  s.frame();
  // Main-thread CPU time as well: the engine's own share, which the load of a shared machine
  // (and llvmpipe's rasteriser threads) do not blur.
  auto cpu = [] {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
  };
  double floorSeconds = 0, spriteSeconds = 0, floorCpu = 0, spriteCpu = 0;
  const std::uint64_t draws = QuadBatch::drawCalls();
  const std::uint64_t before = bench::allocations();
  for (auto _ : state) {
    // The quads the next sprite frame will draw (untimed: the floor only draws them).
    floor.build(s.scene.get());
    platform::GLContext::setCurrentContext(floorContext.get());  // the switches are not timed
    const double c0 = cpu();
    const auto t0 = Clock::now();
    floorFrame();
    const auto t1f = Clock::now();
    const double c1f = cpu();
    s.director->setCurrentContext();
    const double c1 = cpu();
    const auto t1 = Clock::now();
    spriteFrame();
    const auto t2 = Clock::now();
    const double c2 = cpu();
    floorSeconds += std::chrono::duration<double>(t1f - t0).count();
    spriteSeconds += std::chrono::duration<double>(t2 - t1).count();
    floorCpu += c1f - c0;
    spriteCpu += c2 - c1;
  }
  const double frames = double(state.iterations());
  report(state, bench::allocations() - before);
  state.counters["floor_ms"] = benchmark::Counter(floorSeconds / frames * 1e3);
  state.counters["sprites_ms"] = benchmark::Counter(spriteSeconds / frames * 1e3);
  state.counters["floor_cpu_ms"] = benchmark::Counter(floorCpu / frames * 1e3);
  state.counters["sprites_cpu_ms"] = benchmark::Counter(spriteCpu / frames * 1e3);
  state.counters["ratio"] = benchmark::Counter(floorSeconds > 0 ? spriteSeconds / floorSeconds : 0);
  // Sprite draw calls a frame: the batches, or one a sprite when each draws itself.
  state.counters["draws_per_frame"] = benchmark::Counter(
      Batched ? double(QuadBatch::drawCalls() - draws) / frames : double(floor.vertices.size() / 6));
  state.counters["quads"] = benchmark::Counter(double(floor.vertices.size() / 6));
  const CGSize pixels = s.director->surfaceSize();
  state.counters["pixels_wide"] = benchmark::Counter(pixels.height);  // landscape
  state.counters["pixels_high"] = benchmark::Counter(pixels.width);
  QuadBatch::setEnabled(true);
  floorContext = nullptr;
  s.director->setCurrentContext();
}

void BM_EngineFrame(benchmark::State& state) { runFrames<nodes, false>(state); }
void BM_FullFrame(benchmark::State& state) { runFrames<nodes, true>(state); }
void BM_SpriteEngineFrame(benchmark::State& state) { runFrames<sprites, false>(state); }
void BM_SpriteFullFrame(benchmark::State& state) { runFrames<sprites, true>(state); }
BENCHMARK(BM_EngineFrame)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_FullFrame)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_SpriteEngineFrame)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_SpriteFullFrame)->Unit(benchmark::kMicrosecond)->UseRealTime();
// Content scale 2 is the headless window's full resolution (960 x 640); 1 and 4 for comparison.
BENCHMARK_TEMPLATE(BM_SpritesVsFloor, true)->Arg(2)->Arg(1)->Arg(4)->MinTime(4.0)->Unit(benchmark::kMillisecond)->UseRealTime();
// Every sprite its own draw call, as before batching.
BENCHMARK_TEMPLATE(BM_SpritesVsFloor, false)->Arg(2)->Arg(4)->MinTime(4.0)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
