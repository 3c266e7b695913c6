#pragma once
// ParticleSystem: a node that emits, moves, colours and draws up to a fixed number of particles
// as textured point sprites. Each particle is born at a random offset from the node's origin with
// a random direction, speed, life, size, colour and acceleration, and fades linearly from its
// start colour to its end colour over its life.
//
// The step runs inside draw(), once per drawn frame, with its own time step measured from the
// clock: the last step time is shared by every particle system in the process, so systems drawn
// after the first in a frame see a step close to 0, and the very first step in the process
// (more than 1000 s since time 0) updates and draws nothing.
//
// The pool is allocated once at construction; live particles are packed at the front (a dead
// particle is replaced by the last live one), so stepping allocates nothing. Vertex and colour
// data go to the GL through two buffer objects, re-uploaded in full every frame.
//
// A point size is limited by the driver (255 pixels on llvmpipe; the fire's 100 points pass it at
// content scale 4): when a live particle's point size is beyond the largest the driver draws, the
// frame's particles are drawn as textured quads of the same size, placed and coloured as the
// point sprites would be (screen-aligned, the whole picture), so they keep their look. Their
// vertex array is made on the first such frame and kept.
//
// Random quantities are base + halfRange * r with r = random() * 2^-30 - 1, one call of the
// process's random() per use, in a fixed order (see initParticle).
#include <cstdint>
#include <sys/time.h>

#include "engine/scene/Node.h"
#include "math/Color.h"

namespace peckish {

class Texture2D;
struct ParticlePreset;

struct sParticle {
  Vec2 position;          // relative to the node's origin
  Vec2 velocity;          // points per second
  float radialAccel;      // along the direction from the origin to the particle
  float tangentialAccel;  // perpendicular to it
  sColorF color;
  sColorF colorDelta;     // change per second
  float size;             // point size in points
  float life;             // seconds left; dead when not above 0
};
static_assert(sizeof(sParticle) == 64, "particle records are 64 bytes");

// One drawn particle: its position and size in points (the size doubles as the z coordinate)
// and its point size in pixels (the size times the content scale, so a particle keeps its size
// in points on a high-resolution surface).
struct sVtxPointSprite {
  float x, y, size;
  float pointSize;
};
static_assert(sizeof(sVtxPointSprite) == 16, "point-sprite vertices are 16 bytes");

class ParticleSystem : public Node {
 public:
  // The base initialisation with a pool of `totalParticles` records. Emitting (active) at once;
  // every parameter is 0 until a subclass sets it. When the pool cannot be allocated this logs
  // "Particle system: not enough memory" and the system has no capacity (create() yields null).
  explicit ParticleSystem(int totalParticles);
  // A ready-made system: the base initialisation with the row's pool, then every parameter the
  // row sets, its node position and its picture (see particles/ParticlePresets.h).
  explicit ParticleSystem(const ParticlePreset& preset);
  ~ParticleSystem() override;

  // make<T>() for a preset, or null when its pool could not be allocated.
  template <class T, class... Args>
  static Ref<T> create(Args&&... args) {
    Ref<T> p = make<T>(std::forward<Args>(args)...);
    return p->capacity() > 0 ? p : Ref<T>();
  }

  // One frame: measures the step, emits, steps and draws (see the class comment).
  void draw() override;

  // Births one particle at index particleCount unless the pool is full.
  bool addParticle();
  // Fills a record with a new particle, drawing random numbers in this order: position x, y;
  // angle; speed; radial acceleration; tangential acceleration; life; start colour r, g, b, a;
  // end colour r, g, b, a; size.
  void initParticle(sParticle* particle);
  // Moves, ages and culls the particles from index particleIdx on and writes the vertex and
  // colour arrays for them (point sizes at pointScale() pixels a point).
  void updateParticlesWithDelta(double dt);
  // Pixels per point of the point sizes written; draw() takes the Director's content scale.
  float pointScale() const { return pointScale_; }
  void setPointScale(float scale) { pointScale_ = scale > 0.f ? scale : 1.f; }
  // Draws the first particleIdx vertices as point sprites.
  void drawParticles();

  // Stops emitting; live particles finish their lives.
  void stopSystem();
  // Restarts the emission clock (elapsed = duration, no pending births); active is unchanged.
  void resetSystem();
  bool isFull() const { return particleCount_ >= totalParticles_; }

  // --- properties --------------------------------------------------------------------------
  int totalParticles() const { return totalParticles_; }
  // The number of particles in use. The pool's capacity is fixed at construction: a larger
  // number is clamped to the capacity (and a negative one to 0).
  void setTotalParticles(int n);
  int capacity() const { return capacity_; }
  int particleCount() const { return particleCount_; }
  int particleIdx() const { return particleIdx_; }
  const sParticle* particles() const { return particles_; }
  const sVtxPointSprite* vertices() const { return vertices_; }
  const sColorF* colors() const { return colors_; }
  bool active() const { return active_; }
  float duration() const { return duration_; }
  void setDuration(float d) { duration_ = d; }
  float elapsed() const { return elapsed_; }
  float emitCounter() const { return emitCounter_; }
  float emissionRate() const { return emissionRate_; }
  void setEmissionRate(float rate) { emissionRate_ = rate; }
  sColorF startColor() const { return startColor_; }
  void setStartColor(sColorF c) { startColor_ = c; }
  sColorF startColorVar() const { return startColorVar_; }
  void setStartColorVar(sColorF c) { startColorVar_ = c; }
  sColorF endColor() const { return endColor_; }
  void setEndColor(sColorF c) { endColor_ = c; }
  sColorF endColorVar() const { return endColorVar_; }
  void setEndColorVar(sColorF c) { endColorVar_ = c; }
  float radialAccel() const { return radialAccel_; }
  void setRadialAccel(float v) { radialAccel_ = v; }
  float radialAccelVar() const { return radialAccelVar_; }
  void setRadialAccelVar(float v) { radialAccelVar_ = v; }
  float tangentialAccel() const { return tangentialAccel_; }
  void setTangentialAccel(float v) { tangentialAccel_ = v; }
  float tangentialAccelVar() const { return tangentialAccelVar_; }
  void setTangentialAccelVar(float v) { tangentialAccelVar_ = v; }
  float speed() const { return speed_; }
  void setSpeed(float v) { speed_ = v; }
  float speedVar() const { return speedVar_; }
  void setSpeedVar(float v) { speedVar_ = v; }
  float angle() const { return angle_; }
  void setAngle(float v) { angle_ = v; }
  float angleVar() const { return angleVar_; }
  void setAngleVar(float v) { angleVar_ = v; }
  Vec2 posVar() const { return posVar_; }
  void setPosVar(Vec2 v) { posVar_ = v; }
  // Set by presets only; readable for everyone.
  Vec2 gravity() const { return gravity_; }
  float size() const { return size_; }
  float sizeVar() const { return sizeVar_; }
  float life() const { return life_; }
  float lifeVar() const { return lifeVar_; }
  bool blendAdditive() const { return blendAdditive_; }
  bool colorModulate() const { return colorModulate_; }
  Texture2D* texture() const { return texture_.get(); }
  uint32_t verticesID() const { return verticesID_; }
  uint32_t colorsID() const { return colorsID_; }
  int id() const { return id_; }
  void setId(int id) { id_ = id; }

  // The wall-clock time of the last particle step, shared by every system.
  static timeval lastStepTime();
  // Tests: forget the last step time (the next step is a first step again).
  static void resetLastStepTime();

 protected:
  // The cached point-sprite picture of that name, unpacked (the system keeps a reference).
  void setTextureFromFile(const char* fileName);

  int id_ = 0;
  bool active_ = false;
  float duration_ = 0.f;
  float elapsed_ = 0.f;
  Vec2 gravity_;
  Vec2 posVar_;
  float angle_ = 0.f, angleVar_ = 0.f;
  float speed_ = 0.f, speedVar_ = 0.f;
  float tangentialAccel_ = 0.f, tangentialAccelVar_ = 0.f;
  float radialAccel_ = 0.f, radialAccelVar_ = 0.f;
  float size_ = 0.f, sizeVar_ = 0.f;
  float life_ = 0.f, lifeVar_ = 0.f;
  sColorF startColor_, startColorVar_;
  sColorF endColor_, endColorVar_;
  sParticle* particles_ = nullptr;
  int totalParticles_ = 0;
  int particleCount_ = 0;
  bool blendAdditive_ = false;
  bool colorModulate_ = false;
  float emissionRate_ = 0.f;
  float emitCounter_ = 0.f;
  Ref<Texture2D> texture_;
  sVtxPointSprite* vertices_ = nullptr;
  sColorF* colors_ = nullptr;
  uint32_t verticesID_ = 0;
  uint32_t colorsID_ = 0;
  int particleIdx_ = 0;
  float pointScale_ = 1.f;

 private:
  // One corner of a particle drawn as a quad: window pixels, texture coordinates, colour.
  struct QuadVertex {
    float x, y, s, t;
    sColorF color;
  };
  // Draws the first particleIdx particles as quads; false when their array cannot be made.
  bool drawParticlesAsQuads();

  int capacity_ = 0;  // records allocated in the three arrays
  QuadVertex* quads_ = nullptr;  // six corners a particle, made on the first frame that needs it
};

}  // namespace peckish
