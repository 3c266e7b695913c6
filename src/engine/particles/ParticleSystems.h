#pragma once
// The nine ready-made particle systems, one class a row of the preset table
// (particles/ParticlePresets.h): each fills in the parameters of a ParticleSystem from its row,
// sets its node position (in points; move the node to place the effect) and takes its
// point-sprite picture from the texture cache. Make one with Preset::node() (null only when the
// pool cannot be allocated), e.g. scene->add(ParticleFireworks::node()).
//
//   preset              particles  lasts      look
//   ParticleFireworks   1500       for ever   a fountain falling back under gravity
//   ParticleFire        250        for ever   additive flames rising from a wide base
//   ParticleSun         350        for ever   additive glowing ball
//   ParticleGalaxy      200        for ever   additive blue swirl pulled inwards
//   ParticleFlower      250        for ever   additive multicoloured petals
//   ParticleMeteor      150        for ever   additive ball trailing up-left
//   ParticleSpiral      500        for ever   a long-lived spiral
//   ParticleExplosion   700        0.1 s      one burst, then the particles fly out and fade
//   ParticleSmoke       200        for ever   grey smoke rising from the bottom edge
#include "engine/particles/ParticleSystem.h"
#include "engine/particles/ParticlePresets.h"

namespace peckish {

#define PECKISH_PARTICLE_PRESET(Name, row)                                     \
  class Name : public ParticleSystem {                                         \
   public:                                                                     \
    Name() : ParticleSystem(particlePreset(row)) {}                            \
    static Ref<Name> node() { return ParticleSystem::create<Name>(); }         \
  };

PECKISH_PARTICLE_PRESET(ParticleFireworks, "Fireworks")
PECKISH_PARTICLE_PRESET(ParticleFire, "Fire")
PECKISH_PARTICLE_PRESET(ParticleSun, "Sun")
PECKISH_PARTICLE_PRESET(ParticleGalaxy, "Galaxy")
PECKISH_PARTICLE_PRESET(ParticleFlower, "Flower")
PECKISH_PARTICLE_PRESET(ParticleMeteor, "Meteor")
PECKISH_PARTICLE_PRESET(ParticleSpiral, "Spiral")
PECKISH_PARTICLE_PRESET(ParticleExplosion, "Explosion")
PECKISH_PARTICLE_PRESET(ParticleSmoke, "Smoke")

#undef PECKISH_PARTICLE_PRESET

}  // namespace peckish
