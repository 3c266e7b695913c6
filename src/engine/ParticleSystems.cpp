#include "engine/ParticleSystems.h"

namespace peckish {

namespace {
constexpr sColorF rgba(float r, float g, float b, float a) { return sColorF{r, g, b, a}; }
}  // namespace

ParticleFireworks::ParticleFireworks() : ParticleSystem(1500) {
  duration_ = -1;
  gravity_ = Vec2(0, -90);
  angle_ = 90;
  angleVar_ = 20;
  speed_ = 180;
  speedVar_ = 50;
  setPosition(Vec2(160, 160));
  life_ = 3.5f;
  lifeVar_ = 1;
  emissionRate_ = float(totalParticles_) / life_;
  startColor_ = rgba(0.5f, 0.5f, 0.5f, 1.0f);
  startColorVar_ = rgba(0.5f, 0.5f, 0.5f, 0.1f);
  endColor_ = rgba(0.1f, 0.1f, 0.1f, 0.2f);
  endColorVar_ = rgba(0.1f, 0.1f, 0.1f, 0.2f);
  size_ = 8;
  sizeVar_ = 2;
  setTextureFromFile("fire.png");
  blendAdditive_ = false;
}

ParticleFire::ParticleFire() : ParticleSystem(250) {
  duration_ = -1;
  gravity_ = Vec2(0, 0);
  angle_ = 90;
  angleVar_ = 10;
  radialAccel_ = 0;
  radialAccelVar_ = 0;
  setPosition(Vec2(160, 60));
  posVar_ = Vec2(40, 20);
  life_ = 3;
  lifeVar_ = 0.25f;
  speed_ = 60;
  speedVar_ = 20;
  size_ = 100;
  sizeVar_ = 10;
  emissionRate_ = float(totalParticles_) / life_;
  startColor_ = rgba(0.76f, 0.25f, 0.12f, 1.0f);
  startColorVar_ = rgba(0, 0, 0, 0);
  endColor_ = rgba(0, 0, 0, 1.0f);
  endColorVar_ = rgba(0, 0, 0, 0);
  setTextureFromFile("fire.png");
  blendAdditive_ = true;
}

ParticleSun::ParticleSun() : ParticleSystem(350) {
  duration_ = -1;
  gravity_ = Vec2(0, 0);
  angle_ = 90;
  angleVar_ = 360;
  speed_ = 20;
  speedVar_ = 5;
  setPosition(Vec2(160, 240));
  life_ = 1;
  lifeVar_ = 0.5f;
  size_ = 30;
  sizeVar_ = 10;
  emissionRate_ = float(totalParticles_) / life_;
  startColor_ = rgba(0.76f, 0.25f, 0.12f, 1.0f);
  startColorVar_ = rgba(0, 0, 0, 0);
  endColor_ = rgba(0, 0, 0, 1.0f);
  endColorVar_ = rgba(0, 0, 0, 0);
  setTextureFromFile("fire.png");
  blendAdditive_ = true;
}

ParticleGalaxy::ParticleGalaxy() : ParticleSystem(200) {
  duration_ = -1;
  gravity_ = Vec2(0, 0);
  angle_ = 90;
  angleVar_ = 360;
  speed_ = 60;
  speedVar_ = 10;
  radialAccel_ = -80;
  radialAccelVar_ = 0;
  tangentialAccel_ = 80;
  tangentialAccelVar_ = 0;
  setPosition(Vec2(160, 240));
  life_ = 4;
  lifeVar_ = 1;
  size_ = 37;
  sizeVar_ = 10;
  emissionRate_ = float(totalParticles_) / life_;
  startColor_ = rgba(0.12f, 0.25f, 0.76f, 1.0f);
  startColorVar_ = rgba(0, 0, 0, 0);
  endColor_ = rgba(0, 0, 0, 1.0f);
  endColorVar_ = rgba(0, 0, 0, 0);
  setTextureFromFile("fire.png");
  blendAdditive_ = true;
}

ParticleFlower::ParticleFlower() : ParticleSystem(250) {
  duration_ = -1;
  gravity_ = Vec2(0, 0);
  angle_ = 90;
  angleVar_ = 360;
  speed_ = 80;
  speedVar_ = 10;
  radialAccel_ = -60;
  radialAccelVar_ = 0;
  tangentialAccel_ = 15;
  tangentialAccelVar_ = 0;
  setPosition(Vec2(160, 240));
  life_ = 4;
  lifeVar_ = 1;
  size_ = 30;
  sizeVar_ = 10;
  emissionRate_ = float(totalParticles_) / life_;
  startColor_ = rgba(0.5f, 0.5f, 0.5f, 1.0f);
  startColorVar_ = rgba(0.5f, 0.5f, 0.5f, 0.5f);
  endColor_ = rgba(0, 0, 0, 1.0f);
  endColorVar_ = rgba(0, 0, 0, 0);
  setTextureFromFile("fire.png");
  blendAdditive_ = true;
}

ParticleMeteor::ParticleMeteor() : ParticleSystem(150) {
  duration_ = -1;
  gravity_ = Vec2(-200, 200);
  angle_ = 90;
  angleVar_ = 360;
  speed_ = 15;
  speedVar_ = 5;
  setPosition(Vec2(160, 240));
  life_ = 2;
  lifeVar_ = 1;
  size_ = 60;
  sizeVar_ = 10;
  emissionRate_ = float(totalParticles_) / life_;
  startColor_ = rgba(0.2f, 0.4f, 0.7f, 1.0f);
  startColorVar_ = rgba(0, 0, 0.2f, 0.1f);
  endColor_ = rgba(0, 0, 0, 1.0f);
  endColorVar_ = rgba(0, 0, 0, 0);
  setTextureFromFile("fire.png");
  blendAdditive_ = true;
}

ParticleSpiral::ParticleSpiral() : ParticleSystem(500) {
  duration_ = -1;
  gravity_ = Vec2(0, 0);
  angle_ = 90;
  angleVar_ = 0;
  speed_ = 150;
  speedVar_ = 0;
  radialAccel_ = -380;
  radialAccelVar_ = 0;
  tangentialAccel_ = 45;
  tangentialAccelVar_ = 0;
  setPosition(Vec2(160, 240));
  life_ = 12;
  lifeVar_ = 0;
  size_ = 20;
  sizeVar_ = 0;
  emissionRate_ = float(totalParticles_) / life_;
  startColor_ = rgba(0.5f, 0.5f, 0.5f, 1.0f);
  startColorVar_ = rgba(0.5f, 0.5f, 0.5f, 0);
  endColor_ = rgba(0.5f, 0.5f, 0.5f, 1.0f);
  endColorVar_ = rgba(0.5f, 0.5f, 0.5f, 0);
  setTextureFromFile("fire.png");
  blendAdditive_ = false;
}

ParticleExplosion::ParticleExplosion() : ParticleSystem(700) {
  duration_ = 0.1f;
  gravity_ = Vec2(0, -100);
  angle_ = 90;
  angleVar_ = 360;
  speed_ = 70;
  speedVar_ = 40;
  setPosition(Vec2(160, 240));
  life_ = 5;
  lifeVar_ = 2;
  size_ = 15;
  sizeVar_ = 10;
  emissionRate_ = float(totalParticles_) / duration_;
  startColor_ = rgba(0.7f, 0.1f, 0.2f, 1.0f);
  startColorVar_ = rgba(0.5f, 0.5f, 0.5f, 0);
  endColor_ = rgba(0.5f, 0.5f, 0.5f, 0);
  endColorVar_ = rgba(0.5f, 0.5f, 0.5f, 0);
  setTextureFromFile("fire.png");
  blendAdditive_ = false;
}

ParticleSmoke::ParticleSmoke() : ParticleSystem(200) {
  duration_ = -1;
  gravity_ = Vec2(0, 0);
  angle_ = 90;
  angleVar_ = 5;
  speed_ = 25;
  speedVar_ = 10;
  setPosition(Vec2(160, 0));
  posVar_ = Vec2(20, 0);
  life_ = 4;
  lifeVar_ = 1;
  size_ = 60;
  sizeVar_ = 10;
  emissionRate_ = float(totalParticles_) / life_;
  startColor_ = rgba(0.8f, 0.8f, 0.8f, 1.0f);
  startColorVar_ = rgba(0.02f, 0.02f, 0.02f, 0);
  endColor_ = rgba(0, 0, 0, 1.0f);
  endColorVar_ = rgba(0, 0, 0, 0);
  setTextureFromFile("fire.png");
  blendAdditive_ = false;
}

}  // namespace peckish
