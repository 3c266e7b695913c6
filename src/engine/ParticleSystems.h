#pragma once
// The nine ready-made particle systems. Each fills in the parameters of a ParticleSystem, sets
// its node position (in points; move the node to place the effect) and takes its point-sprite
// image, "fire.png", from the texture cache. Make one with Preset::node() (null only when the
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
#include "engine/ParticleSystem.h"

namespace peckish {

#define PECKISH_PARTICLE_PRESET(Name)                                          \
  class Name : public ParticleSystem {                                         \
   public:                                                                     \
    Name();                                                                    \
    static Ref<Name> node() { return ParticleSystem::create<Name>(); }         \
  };

PECKISH_PARTICLE_PRESET(ParticleFireworks)
PECKISH_PARTICLE_PRESET(ParticleFire)
PECKISH_PARTICLE_PRESET(ParticleSun)
PECKISH_PARTICLE_PRESET(ParticleGalaxy)
PECKISH_PARTICLE_PRESET(ParticleFlower)
PECKISH_PARTICLE_PRESET(ParticleMeteor)
PECKISH_PARTICLE_PRESET(ParticleSpiral)
PECKISH_PARTICLE_PRESET(ParticleExplosion)
PECKISH_PARTICLE_PRESET(ParticleSmoke)

#undef PECKISH_PARTICLE_PRESET

}  // namespace peckish
