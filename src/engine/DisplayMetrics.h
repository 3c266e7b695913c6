#pragma once
// The Director's display facts for objects that may be built before the Director exists or
// without one (nodes and their cameras in tests and tools). When the Director exists these are its
// values; otherwise the main screen's portrait size and no landscape.
#include "math/Vec2.h"

namespace peckish {

CGRect currentWinSize();      // swapped in landscape
CGRect currentDisplaySize();  // always portrait
bool currentLandscape();
// Pixels per point of the Director's surface (its content scale factor); 1 without a Director.
float currentContentScale();

}  // namespace peckish
