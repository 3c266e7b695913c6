#include "engine/particles/ParticleSystem.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>

#include "core/Log.h"
#include "engine/render/DisplayMetrics.h"
#include "engine/render/QuadBatch.h"
#include "engine/render/Texture2D.h"
#include "engine/render/TextureMgr.h"
#include "engine/particles/ParticlePresets.h"
#include "platform/GLES.h"
#include "platform/RunLoop.h"

namespace peckish {

namespace {

timeval gLastStep{0, 0};

// r in [-1, 1): one call of random() per use.
inline float randomMinus1To1() {
  return float(double(random()) * (1.0 / 1073741824.0) - 1.0);
}

}  // namespace

timeval ParticleSystem::lastStepTime() { return gLastStep; }

void ParticleSystem::resetLastStepTime() { gLastStep = timeval{0, 0}; }

ParticleSystem::ParticleSystem(int totalParticles) {
  totalParticles_ = totalParticles > 0 ? totalParticles : 0;
  const size_t n = size_t(totalParticles_);
  particles_ = new (std::nothrow) sParticle[n]();
  vertices_ = new (std::nothrow) sVtxPointSprite[n]();
  colors_ = new (std::nothrow) sColorF[n]();
  if (!particles_ || !vertices_ || !colors_) {
    engineLog("Particle system: not enough memory");
    delete[] particles_;
    delete[] vertices_;
    delete[] colors_;
    particles_ = nullptr;
    vertices_ = nullptr;
    colors_ = nullptr;
    totalParticles_ = 0;
    return;
  }
  capacity_ = totalParticles_;
  active_ = true;
  blendAdditive_ = false;
  colorModulate_ = true;
  GLuint ids[2] = {0, 0};
  glGenBuffers(2, ids);
  verticesID_ = ids[0];
  colorsID_ = ids[1];
}

ParticleSystem::ParticleSystem(const ParticlePreset& preset) : ParticleSystem(preset.totalParticles) {
  duration_ = preset.duration;
  setPosition(preset.position);
  posVar_ = preset.posVar;
  gravity_ = preset.gravity;
  const auto take = [](const ParticlePreset::Spread& spread, float& base, float& var) {
    base = spread.base;
    var = spread.var;
  };
  take(preset.angle, angle_, angleVar_);
  take(preset.speed, speed_, speedVar_);
  take(preset.radialAccel, radialAccel_, radialAccelVar_);
  take(preset.tangentialAccel, tangentialAccel_, tangentialAccelVar_);
  take(preset.life, life_, lifeVar_);
  take(preset.size, size_, sizeVar_);
  emissionRate_ = float(totalParticles_) / (duration_ > 0 ? duration_ : life_);
  startColor_ = preset.startColor;
  startColorVar_ = preset.startColorVar;
  endColor_ = preset.endColor;
  endColorVar_ = preset.endColorVar;
  setTextureFromFile(preset.texture);
  blendAdditive_ = preset.blendAdditive;
}

ParticleSystem::~ParticleSystem() {
  delete[] particles_;
  delete[] vertices_;
  delete[] colors_;
  delete[] quads_;
  GLuint ids[2] = {verticesID_, colorsID_};
  if (ids[0] || ids[1]) glDeleteBuffers(2, ids);
}

void ParticleSystem::setTotalParticles(int n) {
  totalParticles_ = n < 0 ? 0 : (n > capacity_ ? capacity_ : n);
}

void ParticleSystem::setTextureFromFile(const char* fileName) {
  // Point sprites show the whole GL texture: the picture must not share one.
  texture_.reset(TextureMgr::sharedTextureMgr()->addImageUnpacked(fileName));
}

bool ParticleSystem::addParticle() {
  if (isFull() || particleCount_ >= capacity_) return false;
  initParticle(&particles_[particleCount_]);
  ++particleCount_;
  return true;
}

void ParticleSystem::initParticle(sParticle* p) {
  // The order of the random() calls below is part of the behaviour: keep it.
  const float px = posVar_.x * randomMinus1To1();
  const float py = posVar_.y * randomMinus1To1();
  p->position = Vec2(px, py);

  const float degrees = angle_ + angleVar_ * randomMinus1To1();
  const float a = float(double(degrees) / 180.0 * M_PI);
  const float s = speed_ + speedVar_ * randomMinus1To1();
  p->velocity = Vec2(cosf(a) * s, sinf(a) * s);

  p->radialAccel = radialAccel_ + radialAccelVar_ * randomMinus1To1();
  p->tangentialAccel = tangentialAccel_ + tangentialAccelVar_ * randomMinus1To1();

  p->life = life_ + lifeVar_ * randomMinus1To1();

  sColorF start;
  start.r = startColor_.r + startColorVar_.r * randomMinus1To1();
  start.g = startColor_.g + startColorVar_.g * randomMinus1To1();
  start.b = startColor_.b + startColorVar_.b * randomMinus1To1();
  start.a = startColor_.a + startColorVar_.a * randomMinus1To1();
  p->color = start;

  sColorF end;
  end.r = endColor_.r + endColorVar_.r * randomMinus1To1();
  end.g = endColor_.g + endColorVar_.g * randomMinus1To1();
  end.b = endColor_.b + endColorVar_.b * randomMinus1To1();
  end.a = endColor_.a + endColorVar_.a * randomMinus1To1();

  p->colorDelta.r = (end.r - start.r) / p->life;
  p->colorDelta.g = (end.g - start.g) / p->life;
  p->colorDelta.b = (end.b - start.b) / p->life;
  p->colorDelta.a = (end.a - start.a) / p->life;

  p->size = size_ + sizeVar_ * randomMinus1To1();
}

void ParticleSystem::draw() {
  timeval now{};
  if (platform::getTimeOfDay(&now) != 0) return;
  const double dt = double(now.tv_sec - gLastStep.tv_sec) +
                    double(now.tv_usec - gLastStep.tv_usec) / 1000000.0;
  gLastStep = now;
  if (dt > 1000.0) return;

  if (active_) {
    const float rate = 1.0f / emissionRate_;
    emitCounter_ = float(emitCounter_ + dt);
    while (particleCount_ < totalParticles_ && rate < emitCounter_) {
      addParticle();
      emitCounter_ -= rate;
    }
    elapsed_ = float(elapsed_ + dt);
    if (duration_ != -1.f && duration_ < elapsed_) stopSystem();
  }

  particleIdx_ = 0;
  setPointScale(currentContentScale());
  updateParticlesWithDelta(dt);
  drawParticles();
}

void ParticleSystem::updateParticlesWithDelta(double dt) {
  const float fdt = float(dt);
  while (particleIdx_ < particleCount_) {
    sParticle& p = particles_[particleIdx_];
    if (!(p.life > 0.f)) {
      // Move the last live particle into this slot and step it in this same pass.
      if (particleIdx_ != particleCount_ - 1) p = particles_[particleCount_ - 1];
      --particleCount_;
      continue;
    }

    Vec2 n = vzero;
    if (p.position.x != 0.f || p.position.y != 0.f) n = vnormalize(p.position);
    const Vec2 radial(n.x * p.radialAccel, n.y * p.radialAccel);
    const Vec2 tangential(-n.y * p.tangentialAccel, n.x * p.tangentialAccel);
    const Vec2 accel(radial.x + tangential.x + gravity_.x, radial.y + tangential.y + gravity_.y);

    p.velocity.x += accel.x * fdt;
    p.velocity.y += accel.y * fdt;
    p.position.x += p.velocity.x * fdt;
    p.position.y += p.velocity.y * fdt;

    p.color.r = float(p.color.r + p.colorDelta.r * dt);
    p.color.g = float(p.color.g + p.colorDelta.g * dt);
    p.color.b = float(p.color.b + p.colorDelta.b * dt);
    p.color.a = float(p.color.a + p.colorDelta.a * dt);

    p.life = float(p.life - dt);

    vertices_[particleIdx_] = sVtxPointSprite{p.position.x, p.position.y, p.size, p.size * pointScale_};
    colors_[particleIdx_] = p.color;
    ++particleIdx_;
  }
}

namespace {

// The largest point size the driver draws, in pixels (asked once).
float largestPointSize() {
  static float largest = 0.f;
  if (largest <= 0.f) {
    GLfloat range[2] = {1.f, 1.f};
    glGetFloatv(GL_ALIASED_POINT_SIZE_RANGE, range);
    largest = range[1] > 0.f ? range[1] : 1.f;
  }
  return largest;
}

}  // namespace

void ParticleSystem::drawParticles() {
  // Without a point-sprite image there is nothing sensible to draw.
  if (!texture_ || capacity_ == 0) return;
  QuadBatch::flush();

  float largest = 0.f;
  for (int i = 0; i < particleIdx_; ++i) largest = std::max(largest, vertices_[i].pointSize);
  if (largest > largestPointSize() && drawParticlesAsQuads()) return;

  glEnable(GL_TEXTURE_2D);
  glBindTexture(GL_TEXTURE_2D, texture_->name());
  glEnable(GL_POINT_SPRITE_OES);
  glTexEnvi(GL_POINT_SPRITE_OES, GL_COORD_REPLACE_OES, GL_TRUE);

  glEnableClientState(GL_VERTEX_ARRAY);
  glBindBuffer(GL_ARRAY_BUFFER, verticesID_);
  glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(sizeof(sVtxPointSprite) * size_t(capacity_)), vertices_,
               GL_DYNAMIC_DRAW);
  // The size in points doubles as the z coordinate; the point size is in pixels.
  glVertexPointer(3, GL_FLOAT, sizeof(sVtxPointSprite), nullptr);
  glEnableClientState(GL_POINT_SIZE_ARRAY_OES);
  glPointSizePointerOES(GL_FLOAT, sizeof(sVtxPointSprite),
                        reinterpret_cast<const GLvoid*>(offsetof(sVtxPointSprite, pointSize)));

  glEnableClientState(GL_COLOR_ARRAY);
  glBindBuffer(GL_ARRAY_BUFFER, colorsID_);
  glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(sizeof(sColorF) * size_t(capacity_)), colors_,
               GL_DYNAMIC_DRAW);
  glColorPointer(4, GL_FLOAT, 0, nullptr);

  GLint blendSrc = GL_SRC_ALPHA, blendDst = GL_ONE_MINUS_SRC_ALPHA;
  glGetIntegerv(GL_BLEND_SRC, &blendSrc);
  glGetIntegerv(GL_BLEND_DST, &blendDst);
  if (blendAdditive_)
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
  else
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);

  glDrawArrays(GL_POINTS, 0, particleIdx_);

  glBlendFunc(GLenum(blendSrc), GLenum(blendDst));
  glBindBuffer(GL_ARRAY_BUFFER, 0);
  glDisableClientState(GL_VERTEX_ARRAY);
  glDisableClientState(GL_POINT_SIZE_ARRAY_OES);
  glDisableClientState(GL_COLOR_ARRAY);
  glDisable(GL_TEXTURE_2D);
  glDisable(GL_POINT_SPRITE_OES);
}

bool ParticleSystem::drawParticlesAsQuads() {
  if (!quads_) quads_ = new (std::nothrow) QuadVertex[size_t(capacity_) * 6];
  if (!quads_) return false;
  // Each particle's centre goes through the model-view and projection matrices and the viewport
  // on the CPU, as the point's vertex would; the quad is then laid out in window pixels.
  GLfloat mv[16], pr[16];
  GLint vp[4];
  glGetFloatv(GL_MODELVIEW_MATRIX, mv);
  glGetFloatv(GL_PROJECTION_MATRIX, pr);
  glGetIntegerv(GL_VIEWPORT, vp);
  float m[16];
  for (int c = 0; c < 4; ++c)
    for (int r = 0; r < 4; ++r)
      m[c * 4 + r] = pr[r] * mv[c * 4] + pr[4 + r] * mv[c * 4 + 1] + pr[8 + r] * mv[c * 4 + 2] + pr[12 + r] * mv[c * 4 + 3];
  int n = 0;
  for (int i = 0; i < particleIdx_; ++i) {
    const sVtxPointSprite& v = vertices_[i];
    const float cw = m[3] * v.x + m[7] * v.y + m[11] * v.size + m[15];
    if (!(cw > 0.f)) continue;
    const float cx = (m[0] * v.x + m[4] * v.y + m[8] * v.size + m[12]) / cw;
    const float cy = (m[1] * v.x + m[5] * v.y + m[9] * v.size + m[13]) / cw;
    const float wx = float(vp[0]) + (cx + 1.f) * 0.5f * float(vp[2]);
    const float wy = float(vp[1]) + (cy + 1.f) * 0.5f * float(vp[3]);
    const float h = v.pointSize * 0.5f;
    // A point sprite's texture coordinates: s from the left, t from the top.
    const QuadVertex tl{wx - h, wy + h, 0.f, 0.f, colors_[i]}, tr{wx + h, wy + h, 1.f, 0.f, colors_[i]};
    const QuadVertex bl{wx - h, wy - h, 0.f, 1.f, colors_[i]}, br{wx + h, wy - h, 1.f, 1.f, colors_[i]};
    QuadVertex* q = quads_ + size_t(n) * 6;
    q[0] = tl, q[1] = bl, q[2] = tr, q[3] = tr, q[4] = bl, q[5] = br;
    ++n;
  }

  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  glLoadIdentity();
  glOrthof(float(vp[0]), float(vp[0] + vp[2]), float(vp[1]), float(vp[1] + vp[3]), -1.f, 1.f);
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glLoadIdentity();

  glEnable(GL_TEXTURE_2D);
  glBindTexture(GL_TEXTURE_2D, texture_->name());
  glBindBuffer(GL_ARRAY_BUFFER, 0);
  glEnableClientState(GL_VERTEX_ARRAY);
  glEnableClientState(GL_TEXTURE_COORD_ARRAY);
  glEnableClientState(GL_COLOR_ARRAY);
  glVertexPointer(2, GL_FLOAT, sizeof(QuadVertex), &quads_->x);
  glTexCoordPointer(2, GL_FLOAT, sizeof(QuadVertex), &quads_->s);
  glColorPointer(4, GL_FLOAT, sizeof(QuadVertex), &quads_->color);
  GLint blendSrc = GL_SRC_ALPHA, blendDst = GL_ONE_MINUS_SRC_ALPHA;
  glGetIntegerv(GL_BLEND_SRC, &blendSrc);
  glGetIntegerv(GL_BLEND_DST, &blendDst);
  glBlendFunc(GL_SRC_ALPHA, blendAdditive_ ? GL_ONE : GL_ONE_MINUS_SRC_ALPHA);
  glDrawArrays(GL_TRIANGLES, 0, n * 6);
  glBlendFunc(GLenum(blendSrc), GLenum(blendDst));
  glDisableClientState(GL_VERTEX_ARRAY);
  glDisableClientState(GL_TEXTURE_COORD_ARRAY);
  glDisableClientState(GL_COLOR_ARRAY);
  glDisable(GL_TEXTURE_2D);

  glMatrixMode(GL_PROJECTION);
  glPopMatrix();
  glMatrixMode(GL_MODELVIEW);
  glPopMatrix();
  return true;
}

void ParticleSystem::stopSystem() {
  active_ = false;
  elapsed_ = duration_;
  emitCounter_ = 0.f;
}

void ParticleSystem::resetSystem() {
  elapsed_ = duration_;
  emitCounter_ = 0.f;
}

}  // namespace peckish
