#include "engine/DisplayMetrics.h"

namespace peckish {

// Until the Director is in place: the phone's portrait screen.
CGRect currentWinSize() { return CGRectMake(0, 0, 320, 480); }
CGRect currentDisplaySize() { return CGRectMake(0, 0, 320, 480); }
bool currentLandscape() { return false; }

}  // namespace peckish
