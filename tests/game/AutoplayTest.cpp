// The autoplay bot: where it taps, what it never taps, and a stretch of play through the run loop.
#include <gtest/gtest.h>

#include "GameTestSupport.h"
#include "game/Autoplay.h"

namespace peckish::test {
namespace {

using AutoplayTest = GameTest;

bool insideBox(const TouchSprite* s, CGPoint p) { return s->containsPoint(p); }

TEST_F(AutoplayTest, TapPointAvoidsTheGirlInFront) {
  startQuietGame();
  Rooster* rooster = place<Rooster>(4);  // box x 190..270, y 92..172
  Girl* girl = place<Girl>(1);           // box x 190..290, y 25..125: covers its lower part
  CGPoint p;
  ASSERT_TRUE(Autoplay::safePoint(game, rooster, &p));
  EXPECT_TRUE(insideBox(rooster, p));
  EXPECT_FALSE(insideBox(girl, p));

  Ref<Autoplay> bot = make<Autoplay>(5u);
  bot->tick(0.1);  // notices the rooster
  EXPECT_FALSE(bot->act()) << "too early to react";
  bot->tick(Autoplay::kMaxReaction);
  ASSERT_TRUE(bot->act());
  EXPECT_EQ(bot->taps(), 1);
  EXPECT_TRUE(rooster->isTouched());
  EXPECT_FALSE(girl->isTouched());
  EXPECT_EQ(state->score(), 25);
  EXPECT_FALSE(bot->act()) << "nothing left to tap";
}

TEST_F(AutoplayTest, NoTapWhenTheGirlCoversTheWholeRooster) {
  startQuietGame();
  Rooster* rooster = place<Rooster>(7, 0.1f);  // box x 190..200, y 142..152
  Girl* girl = place<Girl>(4);                 // box x 190..270, y 92..172
  CGPoint p;
  EXPECT_FALSE(Autoplay::safePoint(game, rooster, &p));
  Ref<Autoplay> bot = make<Autoplay>(5u);
  bot->tick(0.1);
  bot->tick(1.0);
  EXPECT_FALSE(bot->act());
  EXPECT_FALSE(girl->isTouched());
  EXPECT_EQ(bot->taps(), 0);
}

TEST_F(AutoplayTest, FrontMostDueRoosterFirst) {
  startQuietGame();
  Rooster* back = place<Rooster>(7);
  Rooster* front = place<Rooster>(2);
  Ref<Autoplay> bot = make<Autoplay>(9u);
  bot->tick(0.1);
  bot->tick(1.0);
  ASSERT_TRUE(bot->act());
  EXPECT_TRUE(front->isTouched());
  EXPECT_FALSE(back->isTouched());
}

TEST_F(AutoplayTest, PlaysThroughTheRunLoopWithoutGirlsOrDoubleHits) {
  startGame();
  Ref<Autoplay> bot = Autoplay::start(11u);
  director->startAnimation();  // the Director's own frame timer, with the bot's taps between frames
  double lastTime = state->time();
  int girlsTouched = 0;
  for (int i = 0; i < 30 * 40; ++i) {
    platform::RunLoop::main().advance(1.0 / 30);
    for (Girl* g : childrenOf<Girl>(game)) girlsTouched += g->isTouched();
    ASSERT_LE(state->time(), lastTime) << "a double hit added time";
    lastTime = state->time();
  }
  bot->stop();
  EXPECT_EQ(girlsTouched, 0);
  EXPECT_GT(bot->taps(), 20);
  EXPECT_GE(state->currentLevel(), 2);
  EXPECT_GT(state->score(), 500);
  EXPECT_NEAR(state->time(), 80.0, 0.1);
}

}  // namespace
}  // namespace peckish::test
