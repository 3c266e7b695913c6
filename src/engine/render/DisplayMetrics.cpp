#include "engine/render/DisplayMetrics.h"

#include "platform/Window.h"

namespace peckish {
namespace {

struct Fed {
  bool present = false;
  CGRect displaySize{};
  bool landscape = false;
  float contentScale = 1.f;
};

Fed gFed;

}  // namespace

void feedDisplayMetrics(CGRect displaySize, bool landscape, float contentScale) {
  gFed = Fed{true, displaySize, landscape, contentScale};
}

void clearDisplayMetrics() { gFed = Fed{}; }

CGRect currentWinSize() {
  if (!gFed.present) return platform::Screen::mainScreen().bounds();
  if (!gFed.landscape) return gFed.displaySize;
  return CGRect{gFed.displaySize.origin, CGSize{gFed.displaySize.size.height, gFed.displaySize.size.width}};
}

CGRect currentDisplaySize() {
  return gFed.present ? gFed.displaySize : platform::Screen::mainScreen().bounds();
}

bool currentLandscape() { return gFed.present && gFed.landscape; }

float currentContentScale() { return gFed.present ? gFed.contentScale : 1.f; }

}  // namespace peckish
