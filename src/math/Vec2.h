#pragma once
// Two-dimensional vectors and the screen geometry types.
#include <cmath>

namespace peckish {

struct Vec2 {
  float x = 0.f;
  float y = 0.f;
  constexpr Vec2() = default;
  constexpr Vec2(float x_, float y_) : x(x_), y(y_) {}
  constexpr bool operator==(const Vec2&) const = default;
};

inline constexpr Vec2 vzero{0.f, 0.f};

// v * (1 / |v|) in single precision.
inline Vec2 vnormalize(Vec2 v) {
  float inv = 1.0f / std::sqrt(v.x * v.x + v.y * v.y);
  return Vec2(v.x * inv, v.y * inv);
}

struct CGPoint {
  float x = 0.f;
  float y = 0.f;
  constexpr bool operator==(const CGPoint&) const = default;
};

struct CGSize {
  float width = 0.f;
  float height = 0.f;
  constexpr bool operator==(const CGSize&) const = default;
};

struct CGRect {
  CGPoint origin;
  CGSize size;
  constexpr bool operator==(const CGRect&) const = default;
};

constexpr CGPoint CGPointMake(float x, float y) { return CGPoint{x, y}; }
constexpr CGSize CGSizeMake(float w, float h) { return CGSize{w, h}; }
constexpr CGRect CGRectMake(float x, float y, float w, float h) { return CGRect{{x, y}, {w, h}}; }

}  // namespace peckish
