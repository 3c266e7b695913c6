#include "game/State.h"

#include <limits>

namespace peckish {

State::State() { reset(); }

void State::reset() {
  score_ = 0;
  currentLevel_ = 0;
  time_ = 120.0;
  timeFromLastHit_ = std::numeric_limits<double>::infinity();
}

void State::initLevel(int level) {
  hits_ = 0;
  misses_ = 0;
  consecutiveHits_ = 0;
  // The precisions matter: level 7 keeps its single-precision 0.3 (just above the double 0.3) and
  // level 11 lands just below 0.5 before the lower bound lifts it.
  const float d = static_cast<float>(level) / -10.0f;
  freq_ = d + 1.0f;
  slideUpTime_ = 0.2f;
  holdTime_ = static_cast<float>(static_cast<double>(d) + 1.6);
  slideDownTime_ = 0.2f;
  hitsToWin_ = 10;
  cockProbability_ = static_cast<float>(90 - 2 * level);
  if (cockProbability_ < 50) cockProbability_ = 50;
  if (holdTime_ < 0.5) holdTime_ = 0.5f;
  if (static_cast<double>(freq_) < 0.3) freq_ = 0.3f;
}

void State::nextLevel() {
  currentLevel_ += 1;
  initLevel(currentLevel_);
}

}  // namespace peckish
