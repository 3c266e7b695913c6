// The particle system: emission timing, the shared step, births in random order, stepping and
// culling, the pool's capacity, the presets, and point sprites read back from GL.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "TextureTestSupport.h"
#include "engine/particles/ParticleSystem.h"
#include "engine/particles/ParticleSystems.h"
#include "engine/render/DisplayMetrics.h"
#include "engine/render/TextureMgr.h"
#include "platform/RunLoop.h"

namespace peckish::test {
namespace {

// A bare system whose parameters and pool the tests set directly.
class TestSystem : public ParticleSystem {
 public:
  explicit TestSystem(int n) : ParticleSystem(n) { duration_ = -1; }
  sParticle* pool() { return particles_; }
  void setGravity(Vec2 g) { gravity_ = g; }
  void setLife(float life, float var) {
    life_ = life;
    lifeVar_ = var;
  }
  void setSize(float size, float var) {
    size_ = size;
    sizeVar_ = var;
  }
  void setParticleIdx(int i) { particleIdx_ = i; }
  void setPicture(const std::string& file) { setTextureFromFile(file.c_str()); }
};

class ParticleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::RunLoop::main().setClock(&clock);
    ParticleSystem::resetLastStepTime();
  }
  void TearDown() override {
    platform::RunLoop::main().setClock(nullptr);
    ParticleSystem::resetLastStepTime();
    TextureMgr::purgeShared();
  }
  // One drawn frame, dt seconds after the previous one.
  void frame(ParticleSystem& s, double dt) {
    clock.advance(dt);
    s.draw();
  }
  // A system with `n` live particles of known state: at rest at the origin, life 1, no colour
  // change, sizes 1, 2, 3, ...
  Ref<TestSystem> withParticles(int n) {
    auto s = make<TestSystem>(n);
    s->setLife(1, 0);
    for (int i = 0; i < n; ++i) {
      EXPECT_TRUE(s->addParticle());
      s->pool()[i] = sParticle{};
      s->pool()[i].life = 1;
      s->pool()[i].size = float(i + 1);
    }
    return s;
  }

  GLTarget gl{128, 128};
  platform::FakeClock clock;
};

TEST_F(ParticleTest, FirstStepInTheProcessUpdatesAndDrawsNothing) {
  REQUIRE_GL(gl);
  auto s = ParticleFireworks::node();
  ASSERT_TRUE(s);
  s->draw();
  EXPECT_EQ(s->particleCount(), 0);
  EXPECT_EQ(s->particleIdx(), 0);
  EXPECT_EQ(s->elapsed(), 0.f);
  EXPECT_EQ(s->emitCounter(), 0.f);
  EXPECT_EQ(ParticleSystem::lastStepTime().tv_sec, long(clock.now()));
  // The next frame measures from that step: 1/60 s at 428.57 a second gives 7 births.
  frame(*s, 1.0 / 60);
  EXPECT_EQ(s->particleCount(), 7);
  EXPECT_EQ(s->particleIdx(), 7);
  EXPECT_TRUE(s->active());
}

TEST_F(ParticleTest, EmitCounterStaysBelowOneRateWhileThePoolHasRoom) {
  REQUIRE_GL(gl);
  auto s = make<TestSystem>(200);
  s->setEmissionRate(50);
  s->setLife(100, 0);
  s->draw();
  for (int i = 0; i < 60; ++i) {
    frame(*s, 1.0 / 60);
    EXPECT_LE(s->emitCounter(), 0.02f + 1e-6f);
  }
  EXPECT_NEAR(s->particleCount(), 50, 1);
  EXPECT_NEAR(s->elapsed(), 1.0f, 1e-4f);
}

TEST_F(ParticleTest, SystemsDrawnLaterInAFrameShareTheStepTime) {
  REQUIRE_GL(gl);
  auto a = make<TestSystem>(100), b = make<TestSystem>(100);
  for (auto* s : {a.get(), b.get()}) {
    s->setEmissionRate(100);
    s->setLife(10, 0);
  }
  a->draw();
  b->draw();
  clock.advance(0.1);
  a->draw();
  b->draw();
  EXPECT_GE(a->particleCount(), 9);
  EXPECT_EQ(b->particleCount(), 0);
  EXPECT_EQ(b->elapsed(), 0.f);
}

TEST_F(ParticleTest, ExplosionStopsEmittingAfterATenthOfASecond) {
  REQUIRE_GL(gl);
  auto s = ParticleExplosion::node();
  ASSERT_TRUE(s);
  EXPECT_EQ(s->emissionRate(), 7000.f);
  s->draw();
  for (int i = 0; i < 5; ++i) frame(*s, 1.0 / 60);
  EXPECT_TRUE(s->active());
  EXPECT_GT(s->particleCount(), 500);
  frame(*s, 1.0 / 60);
  frame(*s, 1.0 / 60);
  EXPECT_FALSE(s->active());
  EXPECT_EQ(s->elapsed(), 0.1f);
  EXPECT_EQ(s->emitCounter(), 0.f);
  EXPECT_EQ(s->particleCount(), 700);  // limited by the pool
  // The particles keep flying (lives are 3 s or more) but no more are born.
  frame(*s, 0.5);
  EXPECT_FALSE(s->active());
  EXPECT_EQ(s->particleCount(), 700);
  EXPECT_EQ(s->particleIdx(), 700);
}

TEST_F(ParticleTest, DeadParticleIsReplacedByTheLastAndSteppedInTheSamePass) {
  REQUIRE_GL(gl);
  auto s = withParticles(3);
  s->pool()[0].life = 0;
  s->updateParticlesWithDelta(0.25);
  EXPECT_EQ(s->particleCount(), 2);
  EXPECT_EQ(s->particleIdx(), 2);
  EXPECT_EQ(s->pool()[0].size, 3.f);  // the third moved into slot 0 ...
  EXPECT_EQ(s->pool()[0].life, 0.75f);  // ... and was stepped
  EXPECT_EQ(s->pool()[1].life, 0.75f);
  EXPECT_EQ(s->vertices()[0].size, 3.f);
  EXPECT_EQ(s->vertices()[1].size, 2.f);

  // The last live particle dying just shortens the list.
  s->pool()[1].life = -1;
  s->setParticleIdx(0);
  s->updateParticlesWithDelta(0.25);
  EXPECT_EQ(s->particleCount(), 1);
  EXPECT_EQ(s->pool()[0].size, 3.f);
}

TEST_F(ParticleTest, ParticleWhoseLifeRunsOutIsDrawnOnceMore) {
  REQUIRE_GL(gl);
  auto s = withParticles(2);
  s->pool()[1].life = 0.1f;
  s->updateParticlesWithDelta(0.2);
  EXPECT_EQ(s->particleIdx(), 2);  // still written this frame
  EXPECT_LE(s->pool()[1].life, 0.f);
  s->setParticleIdx(0);
  s->updateParticlesWithDelta(0.2);
  EXPECT_EQ(s->particleCount(), 1);
}

TEST_F(ParticleTest, ParticleAtTheOriginFeelsOnlyGravity) {
  REQUIRE_GL(gl);
  auto s = withParticles(1);
  s->setGravity(Vec2(0, -10));
  sParticle& p = s->pool()[0];
  p.radialAccel = 100;
  p.tangentialAccel = 100;
  s->updateParticlesWithDelta(0.5);
  EXPECT_EQ(p.velocity, Vec2(0, -5));
  EXPECT_EQ(p.position, Vec2(0, -2.5f));
}

TEST_F(ParticleTest, RadialAndTangentialAccelerationFollowThePosition) {
  REQUIRE_GL(gl);
  auto s = withParticles(1);
  s->setGravity(Vec2(0, -10));
  sParticle& p = s->pool()[0];
  p.position = Vec2(3, 4);  // unit direction (0.6, 0.8), tangent (-0.8, 0.6)
  p.radialAccel = 10;
  p.tangentialAccel = 5;
  p.color = sColorF{0.5f, 0.5f, 0.5f, 1.f};
  p.colorDelta = sColorF{0.2f, -0.2f, 0.f, -1.f};
  s->updateParticlesWithDelta(1.0);
  EXPECT_NEAR(p.velocity.x, 6 - 4, 1e-5);
  EXPECT_NEAR(p.velocity.y, 8 + 3 - 10, 1e-5);
  EXPECT_NEAR(p.position.x, 5, 1e-5);
  EXPECT_NEAR(p.position.y, 5, 1e-5);
  EXPECT_FLOAT_EQ(p.color.r, 0.7f);
  EXPECT_FLOAT_EQ(p.color.g, 0.3f);
  EXPECT_FLOAT_EQ(p.color.a, 0.f);
  EXPECT_FLOAT_EQ(s->colors()[0].r, 0.7f);
  EXPECT_EQ(s->vertices()[0].x, p.position.x);
}

TEST_F(ParticleTest, BirthDrawsRandomNumbersInTheFixedOrder) {
  REQUIRE_GL(gl);
  auto s = make<TestSystem>(1);
  s->setPosVar(Vec2(10, 20));
  s->setAngle(30);
  s->setAngleVar(15);
  s->setSpeed(100);
  s->setSpeedVar(50);
  s->setRadialAccel(5);
  s->setRadialAccelVar(2);
  s->setTangentialAccel(7);
  s->setTangentialAccelVar(3);
  s->setLife(2, 1);
  s->setStartColor({0.5f, 0.5f, 0.5f, 1.f});
  s->setStartColorVar({0.1f, 0.2f, 0.3f, 0.4f});
  s->setEndColor({0.2f, 0.3f, 0.4f, 0.5f});
  s->setEndColorVar({0.05f, 0.06f, 0.07f, 0.08f});
  s->setSize(10, 4);

  srandom(20260);
  float r[17];
  for (float& v : r) v = float(double(random()) * (1.0 / 1073741824.0) - 1.0);
  srandom(20260);
  sParticle p{};
  s->initParticle(&p);

  EXPECT_EQ(p.position, Vec2(10 * r[0], 20 * r[1]));
  const float a = float(double(30 + 15 * r[2]) / 180.0 * M_PI);
  const float speed = 100 + 50 * r[3];
  EXPECT_EQ(p.velocity, Vec2(cosf(a) * speed, sinf(a) * speed));
  EXPECT_EQ(p.radialAccel, 5 + 2 * r[4]);
  EXPECT_EQ(p.tangentialAccel, 7 + 3 * r[5]);
  EXPECT_EQ(p.life, 2 + 1 * r[6]);
  EXPECT_EQ(p.color.r, 0.5f + 0.1f * r[7]);
  EXPECT_EQ(p.color.a, 1.f + 0.4f * r[10]);
  const float endB = 0.4f + 0.07f * r[13];
  EXPECT_EQ(p.colorDelta.b, (endB - (0.5f + 0.3f * r[9])) / p.life);
  EXPECT_EQ(p.size, 10 + 4 * r[15]);
  // Exactly sixteen numbers were drawn.
  EXPECT_EQ(float(double(random()) * (1.0 / 1073741824.0) - 1.0), r[16]);
}

TEST_F(ParticleTest, StraightUpAtSpeed150) {
  REQUIRE_GL(gl);
  auto s = make<TestSystem>(1);
  s->setAngle(90);
  s->setSpeed(150);
  s->setLife(1, 0);
  ASSERT_TRUE(s->addParticle());
  EXPECT_NEAR(s->particles()[0].velocity.x, 0.f, 1e-4);
  EXPECT_FLOAT_EQ(s->particles()[0].velocity.y, 150.f);
}

TEST_F(ParticleTest, TotalParticlesIsClampedToThePool) {
  REQUIRE_GL(gl);
  auto s = make<TestSystem>(10);
  s->setEmissionRate(1000);
  s->setLife(100, 0);
  s->setTotalParticles(5000);
  EXPECT_EQ(s->totalParticles(), 10);
  s->draw();
  frame(*s, 1.0);
  EXPECT_EQ(s->particleCount(), 10);
  EXPECT_TRUE(s->isFull());
  EXPECT_FALSE(s->addParticle());
  s->setTotalParticles(4);  // fewer than are alive: still full, nothing more is born
  EXPECT_TRUE(s->isFull());
  EXPECT_FALSE(s->addParticle());
  frame(*s, 0.1);
  EXPECT_EQ(s->particleCount(), 10);
  s->setTotalParticles(-3);
  EXPECT_EQ(s->totalParticles(), 0);
}

TEST_F(ParticleTest, FullPoolKeepsBirthsOwedUntilThereIsRoom) {
  REQUIRE_GL(gl);
  auto s = make<TestSystem>(5);
  s->setEmissionRate(100);
  s->setLife(100, 0);
  s->draw();
  frame(*s, 0.1);
  EXPECT_EQ(s->particleCount(), 5);
  EXPECT_NEAR(s->emitCounter(), 0.05f, 1e-4);
  s->pool()[2].life = 0;
  frame(*s, 0.001);  // births come before culling: the pool was still full
  EXPECT_EQ(s->particleCount(), 4);
  frame(*s, 0.001);
  EXPECT_EQ(s->particleCount(), 5);
}

TEST_F(ParticleTest, StopAndReset) {
  REQUIRE_GL(gl);
  auto s = ParticleFire::node();
  s->draw();
  frame(*s, 0.5);
  const int alive = s->particleCount();
  s->stopSystem();
  EXPECT_FALSE(s->active());
  EXPECT_EQ(s->elapsed(), -1.f);
  EXPECT_EQ(s->emitCounter(), 0.f);
  frame(*s, 0.1);
  EXPECT_EQ(s->particleCount(), alive);
  s->resetSystem();
  EXPECT_FALSE(s->active());
  auto t = ParticleFire::node();
  t->resetSystem();
  EXPECT_TRUE(t->active());
  EXPECT_EQ(t->elapsed(), -1.f);
}

TEST_F(ParticleTest, PresetsFillInTheirParameters) {
  REQUIRE_GL(gl);
  struct Row {
    const char* name;
    Ref<ParticleSystem> s;
    int total;
    float duration;
    Vec2 gravity;
    float angle, angleVar, speed, speedVar, radial, radialVar, tangential, tangentialVar;
    Vec2 position, posVar;
    float life, lifeVar, size, sizeVar, rate;
    bool additive;
    sColorF start, startVar, end, endVar;
  };
  const Row rows[] = {
      {"Fireworks", ParticleFireworks::node(), 1500, -1, Vec2(0, -90), 90, 20, 180, 50, 0, 0, 0, 0,
       Vec2(160, 160), Vec2(0, 0), 3.5f, 1, 8, 2, 428.57144f, false,
       {0.5f, 0.5f, 0.5f, 1.0f}, {0.5f, 0.5f, 0.5f, 0.1f}, {0.1f, 0.1f, 0.1f, 0.2f}, {0.1f, 0.1f, 0.1f, 0.2f}},
      {"Fire", ParticleFire::node(), 250, -1, Vec2(0, 0), 90, 10, 60, 20, 0, 0, 0, 0,
       Vec2(160, 60), Vec2(40, 20), 3, 0.25f, 100, 10, 83.333336f, true,
       {0.76f, 0.25f, 0.12f, 1.0f}, {0, 0, 0, 0}, {0, 0, 0, 1.0f}, {0, 0, 0, 0}},
      {"Sun", ParticleSun::node(), 350, -1, Vec2(0, 0), 90, 360, 20, 5, 0, 0, 0, 0,
       Vec2(160, 240), Vec2(0, 0), 1, 0.5f, 30, 10, 350.f, true,
       {0.76f, 0.25f, 0.12f, 1.0f}, {0, 0, 0, 0}, {0, 0, 0, 1.0f}, {0, 0, 0, 0}},
      {"Galaxy", ParticleGalaxy::node(), 200, -1, Vec2(0, 0), 90, 360, 60, 10, -80, 0, 80, 0,
       Vec2(160, 240), Vec2(0, 0), 4, 1, 37, 10, 50.f, true,
       {0.12f, 0.25f, 0.76f, 1.0f}, {0, 0, 0, 0}, {0, 0, 0, 1.0f}, {0, 0, 0, 0}},
      {"Flower", ParticleFlower::node(), 250, -1, Vec2(0, 0), 90, 360, 80, 10, -60, 0, 15, 0,
       Vec2(160, 240), Vec2(0, 0), 4, 1, 30, 10, 62.5f, true,
       {0.5f, 0.5f, 0.5f, 1.0f}, {0.5f, 0.5f, 0.5f, 0.5f}, {0, 0, 0, 1.0f}, {0, 0, 0, 0}},
      {"Meteor", ParticleMeteor::node(), 150, -1, Vec2(-200, 200), 90, 360, 15, 5, 0, 0, 0, 0,
       Vec2(160, 240), Vec2(0, 0), 2, 1, 60, 10, 75.f, true,
       {0.2f, 0.4f, 0.7f, 1.0f}, {0, 0, 0.2f, 0.1f}, {0, 0, 0, 1.0f}, {0, 0, 0, 0}},
      {"Spiral", ParticleSpiral::node(), 500, -1, Vec2(0, 0), 90, 0, 150, 0, -380, 0, 45, 0,
       Vec2(160, 240), Vec2(0, 0), 12, 0, 20, 0, 41.666668f, false,
       {0.5f, 0.5f, 0.5f, 1.0f}, {0.5f, 0.5f, 0.5f, 0}, {0.5f, 0.5f, 0.5f, 1.0f}, {0.5f, 0.5f, 0.5f, 0}},
      {"Explosion", ParticleExplosion::node(), 700, 0.1f, Vec2(0, -100), 90, 360, 70, 40, 0, 0, 0, 0,
       Vec2(160, 240), Vec2(0, 0), 5, 2, 15, 10, 7000.f, false,
       {0.7f, 0.1f, 0.2f, 1.0f}, {0.5f, 0.5f, 0.5f, 0}, {0.5f, 0.5f, 0.5f, 0}, {0.5f, 0.5f, 0.5f, 0}},
      {"Smoke", ParticleSmoke::node(), 200, -1, Vec2(0, 0), 90, 5, 25, 10, 0, 0, 0, 0,
       Vec2(160, 0), Vec2(20, 0), 4, 1, 60, 10, 50.f, false,
       {0.8f, 0.8f, 0.8f, 1.0f}, {0.02f, 0.02f, 0.02f, 0}, {0, 0, 0, 1.0f}, {0, 0, 0, 0}},
  };
  const auto expectColor = [](sColorF actual, sColorF expected, const char* which) {
    EXPECT_EQ(actual.r, expected.r) << which;
    EXPECT_EQ(actual.g, expected.g) << which;
    EXPECT_EQ(actual.b, expected.b) << which;
    EXPECT_EQ(actual.a, expected.a) << which;
  };
  // Point sprites show a whole texture: the presets use the picture's own texture, not the atlas.
  Texture2D* fire = TextureMgr::sharedTextureMgr()->addImageUnpacked("fire.png");
  ASSERT_NE(fire, nullptr);
  for (const Row& r : rows) {
    ASSERT_TRUE(r.s);
    SCOPED_TRACE(r.name);
    const ParticleSystem& s = *r.s;
    EXPECT_EQ(s.totalParticles(), r.total);
    EXPECT_EQ(s.capacity(), r.total);
    EXPECT_EQ(s.duration(), r.duration);
    EXPECT_EQ(s.gravity(), r.gravity);
    EXPECT_EQ(s.angle(), r.angle);
    EXPECT_EQ(s.angleVar(), r.angleVar);
    EXPECT_EQ(s.speed(), r.speed);
    EXPECT_EQ(s.speedVar(), r.speedVar);
    EXPECT_EQ(s.radialAccel(), r.radial);
    EXPECT_EQ(s.radialAccelVar(), r.radialVar);
    EXPECT_EQ(s.tangentialAccel(), r.tangential);
    EXPECT_EQ(s.tangentialAccelVar(), r.tangentialVar);
    EXPECT_EQ(s.position(), r.position);
    EXPECT_EQ(s.posVar(), r.posVar);
    EXPECT_EQ(s.life(), r.life);
    EXPECT_EQ(s.lifeVar(), r.lifeVar);
    EXPECT_EQ(s.size(), r.size);
    EXPECT_EQ(s.sizeVar(), r.sizeVar);
    EXPECT_EQ(s.emissionRate(), r.rate);
    EXPECT_EQ(s.blendAdditive(), r.additive);
    expectColor(s.startColor(), r.start, "start colour");
    expectColor(s.startColorVar(), r.startVar, "start variance");
    expectColor(s.endColor(), r.end, "end colour");
    expectColor(s.endColorVar(), r.endVar, "end variance");
    EXPECT_EQ(s.texture(), fire);
    EXPECT_EQ(fire->atlas(), nullptr);
    EXPECT_TRUE(s.active());
    EXPECT_TRUE(s.colorModulate());
    EXPECT_NE(s.verticesID(), 0u);
    EXPECT_NE(s.colorsID(), s.verticesID());
  }
  EXPECT_EQ(fire->retainCount(), 10);  // the cache and each preset
}

TEST_F(ParticleTest, DrawsAdditivePointSpritesAndRestoresTheGLState) {
  REQUIRE_GL(gl);
  auto s = ParticleSun::node();
  s->setPosition(Vec2(64, 64));
  glEnable(GL_BLEND);
  glBlendFunc(GL_ONE, GL_ZERO);
  s->visit();
  clock.advance(0.05);
  s->visit();
  gl.clear();
  clock.advance(0.05);
  s->visit();
  EXPECT_GT(s->particleIdx(), 0);
  EXPECT_GT(gl.litPixels(44, 44, 84, 84), 100);
  EXPECT_EQ(gl.litPixels(0, 0, 20, 20), 0);
  GLint src = 0, dst = 0, buffer = -1;
  glGetIntegerv(GL_BLEND_SRC, &src);
  glGetIntegerv(GL_BLEND_DST, &dst);
  glGetIntegerv(GL_ARRAY_BUFFER_BINDING, &buffer);
  EXPECT_EQ(src, GL_ONE);
  EXPECT_EQ(dst, GL_ZERO);
  EXPECT_EQ(buffer, 0);
  EXPECT_FALSE(glIsEnabled(GL_POINT_SPRITE_OES));
  EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
  EXPECT_FALSE(glIsEnabled(GL_COLOR_ARRAY));
  glDisable(GL_BLEND);
}

// Point sizes are limited by the driver (255 pixels on llvmpipe): at content scale 4 a 100-point
// particle (the fire's) is drawn at its full 400 pixels all the same, centred where its point
// would be; small ones stay point sprites of their size.
TEST_F(ParticleTest, ParticlesKeepTheirSizeBeyondTheDriversLargestPoint) {
  GLTarget big{512, 512};
  REQUIRE_GL(big);
  TempFolder dir;
  const std::string white = writeImage(dir, "White.png", solidImage(8, 8, 0xFFFFFFFF));
  feedDisplayMetrics(CGRectMake(0, 0, 320, 480), false, 4.f);
  struct Row {
    float size;  // points
    int pixels;  // wide at scale 4
  } rows[] = {{100, 400}, {20, 80}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.size);
    ParticleSystem::resetLastStepTime();
    auto s = make<TestSystem>(1);
    s->setPicture(white);
    s->setLife(1000, 0);
    s->setSize(row.size, 0);
    s->setEmissionRate(10);
    s->setStartColor(sColorF{1, 1, 1, 1});
    s->setEndColor(sColorF{1, 1, 1, 1});
    s->setPosition(Vec2(256, 256));
    big.clear();
    s->visit();  // the first step in the process only starts the clock
    clock.advance(0.2);
    s->visit();
    ASSERT_EQ(s->particleIdx(), 1);
    EXPECT_NEAR(big.litPixels(0, 256, 512, 257), row.pixels, 2);
    EXPECT_NEAR(big.litPixels(256, 0, 257, 512), row.pixels, 2);
    EXPECT_EQ(big.pixel(256 - row.pixels / 2 + 2, 256 - row.pixels / 2 + 2), 0xFFFFFFFFu);
    EXPECT_EQ(big.pixel(256 + row.pixels / 2 - 2, 256 + row.pixels / 2 - 2), 0xFFFFFFFFu);
  }
  clearDisplayMetrics();
}

TEST_F(ParticleTest, SystemWithoutAPictureStepsButDrawsNothing) {
  REQUIRE_GL(gl);
  auto s = make<TestSystem>(50);
  s->setEmissionRate(100);
  s->setLife(5, 0);
  s->setSize(20, 0);
  s->setPosition(Vec2(64, 64));
  s->visit();
  clock.advance(0.2);
  s->visit();
  EXPECT_GT(s->particleCount(), 10);
  EXPECT_EQ(gl.litPixels(44, 44, 84, 84), 0);
}

}  // namespace
}  // namespace peckish::test
