#pragma once
// GameHUD: score, clock and level along the top edge of the game screen. It polls the shared
// State once a frame from draw() and re-renders a label only when the value it shows changed; a
// level change also blinks the level label (2 s, 5 blinks). It draws nothing itself.
//
// Built just before the game layer resets the record, it first shows the previous game's values
// (score 0, 02:00 and level 0 on the very first game); the first draw brings them up to date.
#include "engine/scene/Layer.h"

namespace peckish {

class Label;
class State;

class GameHUD : public Layer {
 public:
  GameHUD();
  ~GameHUD() override;

  static Ref<GameHUD> node() { return make<GameHUD>(); }

  // Replaces the score label with one for the value (not added to the layer).
  void createScore(int score);
  // Replaces the clock label with one for whole seconds (not added to the layer).
  void createTime(int seconds);
  // Makes the level label (not added to the layer).
  void createLevel(int level);

  void draw() override;

  Label* scoreLabel() const { return score_.get(); }
  Label* timeLabel() const { return time_.get(); }
  Label* levelLabel() const { return levelLabel_.get(); }

 private:
  int lastScore_ = 0;
  Ref<Label> score_;
  int lastTime_ = 0;
  Ref<Label> time_;
  int lastLevel_ = 0;
  Ref<Label> levelLabel_;
  State* state_ = nullptr;
};

}  // namespace peckish
