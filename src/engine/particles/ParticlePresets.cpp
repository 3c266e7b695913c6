#include "engine/particles/ParticlePresets.h"

#include "core/Exception.h"

namespace peckish {

namespace {

constexpr float kForEver = -1;

// Columns: name, picture, pool, duration, position, position spread, gravity;
//          angle, speed, radial and tangential acceleration, life and size, each base and spread;
//          start colour and its spread, end colour and its spread; additive blending.
constexpr ParticlePreset kPresets[] = {
    {"Fireworks", "fire.png", 1500, kForEver, {160, 160}, {0, 0}, {0, -90},
     {90, 20}, {180, 50}, {0, 0}, {0, 0}, {3.5f, 1}, {8, 2},
     {0.5f, 0.5f, 0.5f, 1.0f}, {0.5f, 0.5f, 0.5f, 0.1f}, {0.1f, 0.1f, 0.1f, 0.2f}, {0.1f, 0.1f, 0.1f, 0.2f}, false},
    {"Fire", "fire.png", 250, kForEver, {160, 60}, {40, 20}, {0, 0},
     {90, 10}, {60, 20}, {0, 0}, {0, 0}, {3, 0.25f}, {100, 10},
     {0.76f, 0.25f, 0.12f, 1.0f}, {0, 0, 0, 0}, {0, 0, 0, 1.0f}, {0, 0, 0, 0}, true},
    {"Sun", "fire.png", 350, kForEver, {160, 240}, {0, 0}, {0, 0},
     {90, 360}, {20, 5}, {0, 0}, {0, 0}, {1, 0.5f}, {30, 10},
     {0.76f, 0.25f, 0.12f, 1.0f}, {0, 0, 0, 0}, {0, 0, 0, 1.0f}, {0, 0, 0, 0}, true},
    {"Galaxy", "fire.png", 200, kForEver, {160, 240}, {0, 0}, {0, 0},
     {90, 360}, {60, 10}, {-80, 0}, {80, 0}, {4, 1}, {37, 10},
     {0.12f, 0.25f, 0.76f, 1.0f}, {0, 0, 0, 0}, {0, 0, 0, 1.0f}, {0, 0, 0, 0}, true},
    {"Flower", "fire.png", 250, kForEver, {160, 240}, {0, 0}, {0, 0},
     {90, 360}, {80, 10}, {-60, 0}, {15, 0}, {4, 1}, {30, 10},
     {0.5f, 0.5f, 0.5f, 1.0f}, {0.5f, 0.5f, 0.5f, 0.5f}, {0, 0, 0, 1.0f}, {0, 0, 0, 0}, true},
    {"Meteor", "fire.png", 150, kForEver, {160, 240}, {0, 0}, {-200, 200},
     {90, 360}, {15, 5}, {0, 0}, {0, 0}, {2, 1}, {60, 10},
     {0.2f, 0.4f, 0.7f, 1.0f}, {0, 0, 0.2f, 0.1f}, {0, 0, 0, 1.0f}, {0, 0, 0, 0}, true},
    {"Spiral", "fire.png", 500, kForEver, {160, 240}, {0, 0}, {0, 0},
     {90, 0}, {150, 0}, {-380, 0}, {45, 0}, {12, 0}, {20, 0},
     {0.5f, 0.5f, 0.5f, 1.0f}, {0.5f, 0.5f, 0.5f, 0}, {0.5f, 0.5f, 0.5f, 1.0f}, {0.5f, 0.5f, 0.5f, 0}, false},
    {"Explosion", "fire.png", 700, 0.1f, {160, 240}, {0, 0}, {0, -100},
     {90, 360}, {70, 40}, {0, 0}, {0, 0}, {5, 2}, {15, 10},
     {0.7f, 0.1f, 0.2f, 1.0f}, {0.5f, 0.5f, 0.5f, 0}, {0.5f, 0.5f, 0.5f, 0}, {0.5f, 0.5f, 0.5f, 0}, false},
    {"Smoke", "fire.png", 200, kForEver, {160, 0}, {20, 0}, {0, 0},
     {90, 5}, {25, 10}, {0, 0}, {0, 0}, {4, 1}, {60, 10},
     {0.8f, 0.8f, 0.8f, 1.0f}, {0.02f, 0.02f, 0.02f, 0}, {0, 0, 0, 1.0f}, {0, 0, 0, 0}, false},
};

}  // namespace

std::span<const ParticlePreset> particlePresets() { return kPresets; }

const ParticlePreset& particlePreset(std::string_view name) {
  for (const ParticlePreset& preset : kPresets) {
    if (name == preset.name) return preset;
  }
  raise("ParticlePreset", "No particle preset of that name");
}

}  // namespace peckish
