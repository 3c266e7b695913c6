#pragma once
// The ready-made particle systems as data: one row a preset, read by ParticleSystem's preset
// constructor (the classes in ParticleSystems.h and the particles demo both build from it).
// A row names every parameter the preset sets; the others stay as ParticleSystem leaves them.
// The emission rate is not a column: an endless system (duration -1) emits its pool over one
// life, one that stops emits its whole pool over its duration.
#include <span>
#include <string_view>

#include "math/Color.h"
#include "math/Vec2.h"

namespace peckish {

struct ParticlePreset {
  // A quantity and the half range of its randomness (see ParticleSystem's class comment).
  struct Spread {
    float base, var;
  };
  const char* name;     // as the demo shows it: "Fireworks"
  const char* texture;  // the point-sprite picture, loaded unpacked from the texture cache
  int totalParticles;   // the pool
  float duration;       // seconds of emission, -1 for ever
  Vec2 position;        // the node's position in points
  Vec2 posVar;
  Vec2 gravity;
  Spread angle;  // degrees
  Spread speed;
  Spread radialAccel;
  Spread tangentialAccel;
  Spread life;  // seconds
  Spread size;  // points
  sColorF startColor, startColorVar;
  sColorF endColor, endColorVar;
  bool blendAdditive;
};

// Every preset, in the order the particles demo shows them.
std::span<const ParticlePreset> particlePresets();

// The row of that name; raises "ParticlePreset" when there is none.
const ParticlePreset& particlePreset(std::string_view name);

}  // namespace peckish
