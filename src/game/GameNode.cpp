#include "game/GameNode.h"

#include <cstdio>
#include <cstdlib>
#include <utility>

#include "audio/BackgroundSoundManager.h"
#include "engine/actions/CompositeActions.h"
#include "engine/scene/Director.h"
#include "engine/render/Label.h"
#include "engine/actions/PropertyActions.h"
#include "engine/scene/Scene.h"
#include "engine/render/Texture2D.h"
#include "engine/render/Sprite.h"
#include "game/GameHUD.h"
#include "game/GameServices.h"
#include "game/Positions.h"
#include "game/Sprites.h"
#include "game/State.h"

namespace peckish {

namespace {

// The scale a character grows to in a hole's row: front 1.0, middle 0.8, back 0.6.
float risenScale(int hole) {
  if (hole < 3) return 1.0f;
  if (hole < 6) return 0.8f;
  return 0.6f;
}

}  // namespace

Ref<Scene> gameNode() {
  playRandomPickupLine();
  Ref<Scene> scene = Scene::node();
  Ref<Sprite> background = Sprite::spriteFromFile("GameBackground.png");
  background->setTransformAnchor(vzero);
  scene->add(background, 1);
  // The HUD reads the record before the new layer resets it; its first draw catches up.
  scene->add(GameHUD::node(), 2);
  scene->add(GameNode::node(), 3);
  return scene;
}

// --- a new game ----------------------------------------------------------------------------------

GameNode::GameNode() {
  isTouchEnabled_ = true;
  childrenToAdd_.reserve(5);
  state_ = State::sharedState();
  state_->reset();
  state_->nextLevel();
  schedule(&GameNode::tick);
  timeFromLastTick_ = 0.f;
  initNameField();
  Ref<Button> reset = Button::buttonFromFile("Reset.png", this, &GameNode::restartGameDialog);
  reset->setPosition(Vec2(456, 292));
  add(reset, 1);
  logAnalyticsAction("startGame");
}

GameNode::~GameNode() {
  // A send still on its way has no one to come back to.
  if (scoreSend_) scoreSend_->cancel();
}

void GameNode::onEnter() {
  Layer::onEnter();
  if (BackgroundSoundManager* music = BackgroundSoundManager::sharedManager()) music->playTrack("GameMusic.mp3");
}

// --- the frame step ------------------------------------------------------------------------------

void GameNode::tick(double dt) {
  state_->setTime(state_->time() - dt);
  state_->setTimeFromLastHit(dt + state_->timeFromLastHit());
  timeFromLastTick_ = static_cast<float>(dt + timeFromLastTick_);
  if (state_->time() < 0) {
    state_->setTime(0);
    gameOverDialog();
  }
  // Time beyond the interval is dropped, so there is at most one attempt a frame.
  if (timeFromLastTick_ > state_->freq()) {
    timeFromLastTick_ = 0.f;
    popSprite();
  }
}

bool GameNode::isClockRunning() const {
  return isScheduled(TimerCallback(const_cast<GameNode*>(this), &GameNode::tick));
}

void GameNode::popSprite() {
  const long r = ::random();
  Ref<CharacterSprite> character;
  if (static_cast<float>(r % 100) > state_->cockProbability())
    character = Girl::node();
  else
    character = Rooster::node();

  bool full = true;
  for (std::int8_t used : usedPositions_) full = full && used != 0;
  if (full) return;

  int g;
  do {
    g = static_cast<int>(::random() % 9);
  } while (usedPositions_[g] != 0);

  character->setPosition(Positions::pos(static_cast<unsigned>(g)));
  usedPositions_[g] = 1;
  character->setGridPosition(g);
  const float s = risenScale(g);
  character->do_(Sequence::actions(ScaleTo::actionWithDuration(state_->slideUpTime(), s),
                                   DelayTime::actionWithDuration(state_->holdTime()),
                                   ScaleTo::actionWithDuration(state_->slideDownTime(), 0.1f),
                                   CallFuncN::actionWithTarget(this, &GameNode::spriteDeadCB)));
  add(character, 9 - g);
}

void GameNode::spriteDeadCB(Node* node) {
  if (auto* character = dynamic_cast<CharacterSprite*>(node)) {
    const int g = character->gridPosition();
    if (g >= 0 && g < static_cast<int>(Positions::kCount)) usedPositions_[g] = 0;
  }
  remove(node);
}

// --- touches -------------------------------------------------------------------------------------

void GameNode::touchesBegan(const platform::TouchSet& touches, const platform::UIEvent&) {
  Ref<GameNode> self(this);  // a button may replace the scene
  bool hitSomething = false;
  Director* director = Director::sharedDirector();
  for (const platform::Touch& touch : touches) {
    const CGPoint p = director->convertCoordinate(touch.locationInView());
    bool done = false;
    // Top child first; the walk tolerates clickOK adding labels to the layer.
    forEachChildReverse([&](int, Node* child) {
      if (done) return;
      if (auto* button = dynamic_cast<Button*>(child)) {
        if (button->isTouchInside(p)) {
          button->click();
          hitSomething = done = true;
        }
      } else if (auto* character = dynamic_cast<CharacterSprite*>(child)) {
        if (character->isTouchInside(p)) {
          clickOK(character, p);
          hitSomething = done = true;
        }
      }
    });
  }
  if (!hitSomething) state_->setConsecutiveHits(0);
  // Stars join after the walk so that they never stand in its way.
  for (const Ref<SpriteZ>& star : childrenToAdd_) add(star, star->z());
  childrenToAdd_.clear();
}

// --- scoring -------------------------------------------------------------------------------------

void GameNode::clickOK(CharacterSprite* ch, CGPoint p) {
  Ref<CharacterSprite> character(ch);
  const bool girl = dynamic_cast<Girl*>(ch) != nullptr;
  Ref<Label> twoX;
  Ref<Label> streak;

  if (girl) {
    state_->setScore(static_cast<int>(state_->score() * 0.9));
    state_->setConsecutiveHits(0);
    state_->setMisses(state_->misses() + 1);
  } else {
    state_->setScore(state_->score() + state_->consecutiveHits() + 25);
    state_->setConsecutiveHits(state_->consecutiveHits() + 1);
    state_->setHits(state_->hits() + 1);
    if (state_->timeFromLastHit() < 0.1) {
      twoX = Label::labelWithString("2 X", CGSizeMake(384, 128), 1, "Marker Felt", 128);
      twoX->setPosition(Vec2(240, 160));
      add(twoX);
      // This hit (25 + k) and the previous one (25 + k - 1) count again.
      state_->setScore(state_->score() + state_->consecutiveHits() + 24);
      state_->setScore(state_->score() + state_->consecutiveHits() + 23);
      state_->setTime(state_->time() + 2.0);
    }
    state_->setTimeFromLastHit(0);
  }

  ch->click();

  Ref<SpriteZ> star;
  if (const char* prize = ch->prize()) {
    star = Sprite::spriteFromFile<SpriteZ>(prize);
    star->setZ(9 - ch->gridPosition());
    star->setPosition(Vec2(p.x, p.y));
    star->setScale(ch->scale());
    childrenToAdd_.insert(childrenToAdd_.begin(), star);
  }

  if (!girl) {
    char text[16];
    std::snprintf(text, sizeof text, "%d", state_->consecutiveHits());
    streak = Label::labelWithString(text, CGSizeMake(32, 32), 1, "Marker Felt", 32);
    streak->setRGB(0, 0, 0);
    streak->setPosition(Vec2(p.x, p.y));
    add(streak, 10);
  }

  auto sinkAway = [this] {
    return Sequence::actions(ScaleTo::actionWithDuration(0.5, 0.1f),
                             CallFuncN::actionWithTarget(this, &GameNode::spriteDeadCB));
  };
  ch->stop();
  ch->do_(sinkAway());
  if (star) {
    star->do_(Sequence::actions(Spawn::actions(ScaleTo::actionWithDuration(0.5, 0.1f),
                                               RotateBy::actionWithDuration(0.5, 180)),
                                CallFuncN::actionWithTarget(this, &GameNode::spriteDeadCB)));
  }
  if (streak) streak->do_(sinkAway());
  if (twoX) twoX->do_(sinkAway());

  if (state_->hits() == state_->hitsToWin()) state_->nextLevel();
}

}  // namespace peckish
