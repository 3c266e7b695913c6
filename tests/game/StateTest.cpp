// The game record: its one instance, a fresh game, and the level table at its stored precisions.
#include <gtest/gtest.h>

#include <cmath>

#include "game/State.h"

namespace peckish {
namespace {

class StateTest : public ::testing::Test {
 protected:
  void SetUp() override { State::purgeShared(); }
  void TearDown() override { State::purgeShared(); }
};

TEST_F(StateTest, OneSharedInstanceStartsAsAFreshGameAtLevelZero) {
  State* s = State::sharedState();
  EXPECT_EQ(s, State::sharedState());
  EXPECT_EQ(s->score(), 0);
  EXPECT_EQ(s->currentLevel(), 0);
  EXPECT_EQ(s->time(), 120.0);
  EXPECT_TRUE(std::isinf(s->timeFromLastHit()) && s->timeFromLastHit() > 0);
  // reset leaves the level values alone: all still zero on a new record.
  EXPECT_EQ(s->hits(), 0);
  EXPECT_EQ(s->hitsToWin(), 0);
  EXPECT_EQ(s->freq(), 0.f);
  EXPECT_EQ(s->timeLeft(), 0);
  EXPECT_EQ(s->timePassed(), 0);

  s->setScore(300);
  s->setTime(4.5);
  s->setTimeFromLastHit(0.01);
  s->setCurrentLevel(6);
  s->setHits(3);
  s->reset();
  EXPECT_EQ(s->score(), 0);
  EXPECT_EQ(s->currentLevel(), 0);
  EXPECT_EQ(s->time(), 120.0);
  EXPECT_TRUE(std::isinf(s->timeFromLastHit()));
  EXPECT_EQ(s->hits(), 3);
}

struct Row {
  int level;
  float freq;
  float holdTime;
  float cockProbability;
};

TEST_F(StateTest, LevelTableRows) {
  const Row rows[] = {
      {0, 1.0f, 1.6f, 90}, {1, 0.9f, 1.5f, 88}, {2, 0.8f, 1.4f, 86}, {3, 0.7f, 1.3f, 84},
      {4, 0.6f, 1.2f, 82}, {5, 0.5f, 1.1f, 80}, {6, 0.4f, 1.0f, 78}, {7, 0.3f, 0.9f, 76},
      {8, 0.3f, 0.8f, 74}, {9, 0.3f, 0.7f, 72}, {10, 0.3f, 0.6f, 70}, {11, 0.3f, 0.5f, 68},
      {12, 0.3f, 0.5f, 66}, {19, 0.3f, 0.5f, 52}, {20, 0.3f, 0.5f, 50}, {21, 0.3f, 0.5f, 50},
      {57, 0.3f, 0.5f, 50},
  };
  State* s = State::sharedState();
  for (const Row& r : rows) {
    SCOPED_TRACE(r.level);
    s->initLevel(r.level);
    EXPECT_FLOAT_EQ(s->freq(), r.freq);
    EXPECT_FLOAT_EQ(s->holdTime(), r.holdTime);
    EXPECT_EQ(s->cockProbability(), r.cockProbability);
    EXPECT_EQ(s->slideUpTime(), 0.2f);
    EXPECT_EQ(s->slideDownTime(), 0.2f);
    EXPECT_EQ(s->hitsToWin(), 10);
  }
}

TEST_F(StateTest, BoundsAtTheirExactStoredValues) {
  State* s = State::sharedState();
  // Level 7: the formula's single-precision 0.3 is above the double 0.3 and is kept as it is.
  s->initLevel(7);
  EXPECT_EQ(s->freq(), 7.0f / -10.0f + 1.0f);
  EXPECT_GT(static_cast<double>(s->freq()), 0.3);
  // Level 11: 1.6 - 1.1 lands just below 0.5 and the bound stores exactly 0.5.
  EXPECT_LT(static_cast<float>(static_cast<double>(11.0f / -10.0f) + 1.6), 0.5f);
  s->initLevel(11);
  EXPECT_EQ(s->holdTime(), 0.5f);
  // Far levels: every value at its bound.
  s->initLevel(1000);
  EXPECT_EQ(s->freq(), 0.3f);
  EXPECT_EQ(s->holdTime(), 0.5f);
  EXPECT_EQ(s->cockProbability(), 50.f);
}

TEST_F(StateTest, NextLevelClearsTheLevelCountersOnly) {
  State* s = State::sharedState();
  s->reset();
  s->setCurrentLevel(3);
  s->initLevel(3);
  s->setHits(10);
  s->setMisses(2);
  s->setConsecutiveHits(7);
  s->setScore(1234);
  s->setTime(61.25);
  s->setTimeFromLastHit(0.05);
  s->nextLevel();
  EXPECT_EQ(s->currentLevel(), 4);
  EXPECT_EQ(s->hits(), 0);
  EXPECT_EQ(s->misses(), 0);
  EXPECT_EQ(s->consecutiveHits(), 0);
  EXPECT_FLOAT_EQ(s->freq(), 0.6f);
  EXPECT_EQ(s->score(), 1234);
  EXPECT_EQ(s->time(), 61.25);
  EXPECT_EQ(s->timeFromLastHit(), 0.05);
}

}  // namespace
}  // namespace peckish
