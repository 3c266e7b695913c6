#pragma once
// Colour types: the packed 0xRRGGBBAA value and the four-float particle colour.
#include <cstdint>

namespace peckish {

using PackedColor = uint32_t;  // red in the top byte, alpha in the bottom byte

constexpr uint8_t colorRed(PackedColor c) { return static_cast<uint8_t>(c >> 24); }
constexpr uint8_t colorGreen(PackedColor c) { return static_cast<uint8_t>(c >> 16); }
constexpr uint8_t colorBlue(PackedColor c) { return static_cast<uint8_t>(c >> 8); }
constexpr uint8_t colorAlpha(PackedColor c) { return static_cast<uint8_t>(c); }
constexpr PackedColor packColor(uint8_t r, uint8_t g, uint8_t b, uint8_t a) {
  return (uint32_t(r) << 24) | (uint32_t(g) << 16) | (uint32_t(b) << 8) | uint32_t(a);
}

struct sColorF {
  float r = 0.f, g = 0.f, b = 0.f, a = 0.f;
};

}  // namespace peckish
