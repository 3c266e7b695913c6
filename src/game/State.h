#pragma once
// State: the one shared record of the game in progress (clock, score, level and the level's tuning
// values, hit counters, time since the last hit). The game layer starts a game with reset() then
// nextLevel() and changes the record as the game runs; the HUD and the end-of-game dialogs read it.
// Apart from resetting itself and deriving a level's values from its number it has no behaviour.
//
//   State* s = State::sharedState();
//   s->reset();       // score 0, level 0, 120 s, no previous hit
//   s->nextLevel();   // level 1: freq 0.9, holdTime 1.5, cockProbability 88
//
// The record outlives every game: between games it keeps the last game's values.
#include "core/Object.h"
#include "core/Singleton.h"

namespace peckish {

class State : public Object, public Singleton<State> {
 public:
  // The shared instance, created (and reset) on first use under the class lock.
  static State* sharedState() { return shared(); }

  // A fresh game record: score 0, level 0, clock 120 s, time since the last hit +infinity (so the
  // first hit of a game is never a double hit). Level values and hit counters are left alone.
  void reset();
  // Clears the per-level counters (and so the streak) and sets the level's tuning values.
  void initLevel(int level);
  // currentLevel + 1, then initLevel with it. Score, clock and hit timing stay.
  void nextLevel();

  int currentLevel() const { return currentLevel_; }
  void setCurrentLevel(int v) { currentLevel_ = v; }
  int score() const { return score_; }
  void setScore(int v) { score_ = v; }
  double time() const { return time_; }
  void setTime(double v) { time_ = v; }
  double timeFromLastHit() const { return timeFromLastHit_; }
  void setTimeFromLastHit(double v) { timeFromLastHit_ = v; }
  int hits() const { return hits_; }
  void setHits(int v) { hits_ = v; }
  int misses() const { return misses_; }
  void setMisses(int v) { misses_ = v; }
  int timeLeft() const { return timeLeft_; }
  void setTimeLeft(int v) { timeLeft_ = v; }
  int timePassed() const { return timePassed_; }
  void setTimePassed(int v) { timePassed_ = v; }
  int consecutiveHits() const { return consecutiveHits_; }
  void setConsecutiveHits(int v) { consecutiveHits_ = v; }
  float slideUpTime() const { return slideUpTime_; }
  void setSlideUpTime(float v) { slideUpTime_ = v; }
  float holdTime() const { return holdTime_; }
  void setHoldTime(float v) { holdTime_ = v; }
  float slideDownTime() const { return slideDownTime_; }
  void setSlideDownTime(float v) { slideDownTime_ = v; }
  float cockProbability() const { return cockProbability_; }
  void setCockProbability(float v) { cockProbability_ = v; }
  float freq() const { return freq_; }
  void setFreq(float v) { freq_ = v; }
  int hitsToWin() const { return hitsToWin_; }
  void setHitsToWin(int v) { hitsToWin_ = v; }

 private:
  friend class Singleton<State>;
  State();
  ~State() override = default;

  int currentLevel_ = 0;
  int score_ = 0;
  double time_ = 0.0;
  double timeFromLastHit_ = 0.0;
  int hits_ = 0;
  int misses_ = 0;
  int timeLeft_ = 0;
  int timePassed_ = 0;
  int consecutiveHits_ = 0;
  float slideUpTime_ = 0.f;
  float holdTime_ = 0.f;
  float slideDownTime_ = 0.f;
  float cockProbability_ = 0.f;
  float freq_ = 0.f;
  int hitsToWin_ = 0;
};

}  // namespace peckish
