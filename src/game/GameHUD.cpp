#include "game/GameHUD.h"

#include <cstdio>

#include "engine/render/Label.h"
#include "engine/actions/PropertyActions.h"
#include "game/State.h"

namespace peckish {

namespace {

constexpr const char* kFont = "Marker Felt";
constexpr float kFontSize = 32;
constexpr float kLine = 288;

// Whole seconds of the clock, truncated towards zero.
int wholeSeconds(double time) { return static_cast<int>(time); }

void formatScore(char (&text)[32], int score) { std::snprintf(text, sizeof text, "%d", score); }
void formatTime(char (&text)[32], int seconds) {
  std::snprintf(text, sizeof text, "%02d:%02d", seconds / 60, seconds % 60);
}
void formatLevel(char (&text)[32], int level) { std::snprintf(text, sizeof text, "Level %d", level); }

}  // namespace

GameHUD::GameHUD() {
  state_ = State::sharedState();
  lastScore_ = state_->score();
  createScore(lastScore_);
  lastTime_ = wholeSeconds(state_->time());
  createTime(lastTime_);
  lastLevel_ = state_->currentLevel();
  createLevel(lastLevel_);
  add(levelLabel_, 0);
  add(score_, 0);
  add(time_, 0);
}

GameHUD::~GameHUD() = default;

void GameHUD::createScore(int score) {
  char text[32];
  formatScore(text, score);
  score_ = Label::labelWithString(text, CGSizeMake(100, 40), 1, kFont, kFontSize);
  score_->setPosition(Vec2(50, kLine));
}

void GameHUD::createTime(int seconds) {
  char text[32];
  formatTime(text, seconds);
  time_ = Label::labelWithString(text, CGSizeMake(120, 40), 1, kFont, kFontSize);
  time_->setPosition(Vec2(388, kLine));
}

void GameHUD::createLevel(int level) {
  char text[32];
  formatLevel(text, level);
  levelLabel_ = Label::labelWithString(text, CGSizeMake(200, 40), 1, kFont, kFontSize);
  levelLabel_->setPosition(Vec2(240, kLine));
}

void GameHUD::draw() {
  char text[32];
  const int s = state_->score();
  if (s != lastScore_) {
    formatScore(text, s);
    score_->setString(text);
    lastScore_ = s;
  }
  const int t = wholeSeconds(state_->time());
  if (t != lastTime_) {
    formatTime(text, t);
    time_->setString(text);
    lastTime_ = t;
  }
  const int l = state_->currentLevel();
  if (l != lastLevel_) {
    formatLevel(text, l);
    levelLabel_->setString(text);
    levelLabel_->do_(Blink::actionWithDuration(2.0, 5));
    lastLevel_ = l;
  }
}

}  // namespace peckish
