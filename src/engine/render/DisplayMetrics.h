#pragma once
// The display facts for objects that may be built before the Director exists or without one
// (nodes and their cameras in tests and tools, textures, labels). The Director feeds its values
// here when it is made and whenever its landscape setting or content scale changes, and clears
// them when it is purged; unfed, these are the main screen's portrait size, no landscape and a
// content scale of 1. Reading them never reaches into the Director.
#include "math/Vec2.h"

namespace peckish {

CGRect currentWinSize();      // swapped in landscape
CGRect currentDisplaySize();  // always portrait
bool currentLandscape();
// Pixels per point of the Director's surface (its content scale factor); 1 without a Director.
float currentContentScale();

// The Director's side: the values it feeds (the portrait display size, the landscape setting and
// the content scale), and the way back to the unfed defaults.
void feedDisplayMetrics(CGRect displaySize, bool landscape, float contentScale);
void clearDisplayMetrics();

}  // namespace peckish
