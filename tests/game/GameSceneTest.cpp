// The game scene driven through the Director: layout, spawning, touches and scoring, levels and
// the end of the clock.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>

#include "GameTestSupport.h"
#include "game/GameServices.h"

namespace peckish::test {
namespace {

// --- building a game ---------------------------------------------------------------------------

TEST_F(GameTest, SceneLayoutAndANewGame) {
  int pickupLines = 0;
  std::vector<std::string> actions;
  auto oldLine = setPlayRandomPickupLineHook([&] { ++pickupLines; });
  auto oldLog = setLogAnalyticsActionHook([&](const std::string& a) { actions.push_back(a); });
  State::sharedState()->setScore(999);
  startGame();
  setPlayRandomPickupLineHook(oldLine);
  setLogAnalyticsActionHook(oldLog);

  EXPECT_EQ(pickupLines, 1);
  EXPECT_EQ(actions, std::vector<std::string>{"startGame"});
  const auto& kids = scene->children();
  ASSERT_EQ(kids.size(), 3u);
  EXPECT_EQ(kids[0].z, 1);
  EXPECT_EQ(kids[0].node->transformAnchor(), vzero);
  EXPECT_EQ(kids[1].z, 2);
  EXPECT_EQ(kids[1].node.get(), hud);
  EXPECT_EQ(kids[2].z, 3);
  EXPECT_EQ(kids[2].node.get(), game);
  EXPECT_EQ(director->eventHandler(), game);

  EXPECT_EQ(state->score(), 0);
  EXPECT_EQ(state->currentLevel(), 1);
  EXPECT_EQ(state->time(), 120.0);
  auto buttons = childrenOf<Button>(game);
  ASSERT_EQ(buttons.size(), 1u);
  EXPECT_EQ(buttons[0]->position(), Vec2(456, 292));
  EXPECT_EQ(zOf(game, buttons[0]), 1);
}

TEST_F(GameTest, ClockRunsWithFrameTime) {
  startQuietGame();
  frames(25, 0.125);
  EXPECT_EQ(state->time(), 116.875);
  frame(0);
  EXPECT_EQ(hud->timeLabel()->string(), "01:56");
}

// --- spawning ----------------------------------------------------------------------------------

TEST_F(GameTest, SpawnPlacesACharacterThatRisesHoldsSinksAndFreesItsHole) {
  startQuietGame();
  game->popSprite();
  auto chars = childrenOf<CharacterSprite>(game);
  ASSERT_EQ(chars.size(), 1u);
  CharacterSprite* c = chars[0];
  const int g = c->gridPosition();
  ASSERT_GE(g, 0);
  ASSERT_LE(g, 8);
  EXPECT_EQ(c->position(), Positions::pos(static_cast<unsigned>(g)));
  EXPECT_EQ(zOf(game, c), 9 - g);
  EXPECT_EQ(game->usedPositions()[g], 1);
  const float risen = g < 3 ? 1.0f : g < 6 ? 0.8f : 0.6f;
  frames(3, 0.1);  // 0.2 s up
  EXPECT_FLOAT_EQ(c->scale(), risen);
  frames(10, 0.1);  // holding (1.5 s at level 1)
  EXPECT_FLOAT_EQ(c->scale(), risen);
  EXPECT_EQ(game->usedPositions()[g], 1);
  frames(10, 0.1);  // 0.2 s down, then gone
  EXPECT_TRUE(childrenOf<CharacterSprite>(game).empty());
  EXPECT_EQ(game->usedPositions()[g], 0);
}

TEST_F(GameTest, AFullBoardDropsTheSpawn) {
  startQuietGame();
  for (int i = 0; i < 9; ++i) game->popSprite();
  std::set<int> holes;
  for (CharacterSprite* c : childrenOf<CharacterSprite>(game)) holes.insert(c->gridPosition());
  EXPECT_EQ(holes.size(), 9u);
  const size_t before = game->children().size();
  game->popSprite();
  EXPECT_EQ(game->children().size(), before);
  for (int i = 0; i < 9; ++i) EXPECT_EQ(game->usedPositions()[i], 1);
}

TEST_F(GameTest, SpawnsComeEveryFrameThatPassesTheIntervalAndSurplusTimeIsDropped) {
  startGame();  // level 1: freq 0.9
  std::vector<int> spawnFrames;
  std::set<Node*> seen;
  std::vector<Ref<Node>> held;  // keeps finished characters alive so their addresses stay unique
  for (int f = 1; f <= 8; ++f) {
    frame(0.5);
    for (CharacterSprite* c : childrenOf<CharacterSprite>(game)) {
      if (seen.insert(c).second) {
        spawnFrames.push_back(f);
        held.emplace_back(c);
      }
    }
  }
  EXPECT_EQ(spawnFrames, (std::vector<int>{2, 4, 6, 8}));
  EXPECT_EQ(game->timeFromLastTick(), 0.f);
}

TEST_F(GameTest, GirlShareFollowsTheLevel) {
  startQuietGame();
  ::srandom(42);
  // Level 1 (88): about 89 % roosters. Levels past 20 (50): about 51 %.
  auto roosterShare = [&] {
    int roosters = 0, total = 0;
    for (int i = 0; i < 400; ++i) {
      game->popSprite();
      for (CharacterSprite* c : childrenOf<CharacterSprite>(game)) {
        roosters += dynamic_cast<Rooster*>(c) != nullptr;
        ++total;
        game->spriteDeadCB(c);
      }
    }
    return static_cast<double>(roosters) / total;
  };
  EXPECT_NEAR(roosterShare(), 0.89, 0.06);
  state->initLevel(25);
  EXPECT_NEAR(roosterShare(), 0.51, 0.08);
}

// --- scoring -----------------------------------------------------------------------------------

TEST_F(GameTest, FirstHitScores25WithStarAndStreakNumber) {
  startQuietGame();
  Rooster* r = place<Rooster>(4);
  const CGPoint p = inside(r);
  touch(p.x, p.y);
  EXPECT_EQ(state->score(), 25);
  EXPECT_EQ(state->consecutiveHits(), 1);
  EXPECT_EQ(state->hits(), 1);
  EXPECT_EQ(state->time(), 120.0);
  EXPECT_EQ(state->timeFromLastHit(), 0.0);
  EXPECT_TRUE(labels("2 X").empty());
  EXPECT_TRUE(r->isTouched());

  // The star joined after the touch pass, at the character's z, where the touch was, at its scale.
  auto stars = childrenOf<SpriteZ>(game);
  ASSERT_EQ(stars.size(), 1u);
  EXPECT_TRUE(game->childrenToAdd().empty());
  EXPECT_EQ(stars[0]->z(), 5);
  EXPECT_EQ(zOf(game, stars[0]), 5);
  EXPECT_EQ(stars[0]->position(), Vec2(p.x, p.y));
  EXPECT_EQ(stars[0]->scale(), 0.8f);
  // The star draws over its character: same z, added later.
  const auto& kids = game->children();
  auto at = [&](Node* n) { return std::find_if(kids.begin(), kids.end(), [n](const auto& e) { return e.node.get() == n; }); };
  EXPECT_LT(at(r), at(stars[0]));

  auto streak = labels("1");
  ASSERT_EQ(streak.size(), 1u);
  EXPECT_EQ(zOf(game, streak[0]), 10);
  EXPECT_EQ(streak[0]->r() + streak[0]->g() + streak[0]->b(), 0);

  // Character, star and number shrink away in 0.5 s and are removed; the hole is free again.
  frames(10, 0.1);
  EXPECT_TRUE(childrenOf<CharacterSprite>(game).empty());
  EXPECT_TRUE(childrenOf<SpriteZ>(game).empty());
  EXPECT_TRUE(childrenOf<Label>(game).empty());
  EXPECT_EQ(game->usedPositions()[4], 0);
}

TEST_F(GameTest, StarsJoinWhenTheTouchPassEndsNewestFirst) {
  startQuietGame();
  Rooster* a = place<Rooster>(5);
  game->clickOK(a, inside(a));
  EXPECT_EQ(game->childrenToAdd().size(), 1u);
  EXPECT_TRUE(childrenOf<SpriteZ>(game).empty());
  touch(470, 200);
  EXPECT_EQ(childrenOf<SpriteZ>(game).size(), 1u);
  EXPECT_TRUE(game->childrenToAdd().empty());

  // Two characters of one hole, hit by two fingers of one event: the newer (drawn on top) first.
  Rooster* older = place<Rooster>(0, 1.0f);
  Rooster* newer = place<Rooster>(0, 0.9f);
  touch({CGPointMake(60, 40), CGPointMake(60, 40)});
  EXPECT_TRUE(older->isTouched() && newer->isTouched());
  auto stars = childrenOf<SpriteZ>(game);
  ASSERT_EQ(stars.size(), 3u);
  // The star of the second hit was put first and so joined the layer first.
  EXPECT_EQ(stars[1]->scale(), 1.0f);
  EXPECT_EQ(stars[2]->scale(), 0.9f);
}

TEST_F(GameTest, DoubleHitOnAStreakOfTwoAdds80AndTwoSeconds) {
  startQuietGame();
  state->setScore(500);
  state->setConsecutiveHits(2);
  state->setTimeFromLastHit(0.05);
  state->setTime(119.5);
  Rooster* r = place<Rooster>(0);
  touch(inside(r).x, inside(r).y);
  EXPECT_EQ(state->score(), 580);
  EXPECT_EQ(state->consecutiveHits(), 3);
  EXPECT_EQ(state->time(), 121.5);
  auto twoX = labels("2 X");
  ASSERT_EQ(twoX.size(), 1u);
  EXPECT_EQ(zOf(game, twoX[0]), 0);
  EXPECT_EQ(twoX[0]->position(), Vec2(240, 160));
  frame(0.01);
  EXPECT_EQ(hud->timeLabel()->string(), "02:01");
}

TEST_F(GameTest, TwoRoostersInOneTouchEventMakeADoubleHit) {
  startQuietGame();
  Rooster* a = place<Rooster>(0);
  Rooster* b = place<Rooster>(2);
  touch({inside(a), inside(b)});
  // 25, then 25 + 1 and again (1 + 24) + (1 + 23).
  EXPECT_EQ(state->score(), 102);
  EXPECT_EQ(state->consecutiveHits(), 2);
  EXPECT_EQ(state->time(), 122.0);
  EXPECT_EQ(labels("2 X").size(), 1u);
  EXPECT_EQ(childrenOf<SpriteZ>(game).size(), 2u);
}

TEST_F(GameTest, HitsFarApartAreNotDouble) {
  startQuietGame();
  Rooster* a = place<Rooster>(0);
  touch(inside(a).x, inside(a).y);
  frame(0.1);
  Rooster* b = place<Rooster>(2);
  touch(inside(b).x, inside(b).y);
  EXPECT_EQ(state->score(), 25 + 26);
  EXPECT_DOUBLE_EQ(state->time(), 119.9);
  EXPECT_TRUE(labels("2 X").empty());
}

TEST_F(GameTest, GirlCostsATenthOfTheScoreAndTheStreak) {
  startQuietGame();
  for (auto [before, after] : {std::pair{105, 94}, std::pair{9, 8}, std::pair{0, 0}}) {
    state->setScore(before);
    state->setConsecutiveHits(4);
    state->setTimeFromLastHit(0.05);
    const int misses = state->misses();
    Girl* g = place<Girl>(1);
    touch(inside(g).x, inside(g).y);
    EXPECT_EQ(state->score(), after) << before;
    EXPECT_EQ(state->consecutiveHits(), 0);
    EXPECT_EQ(state->misses(), misses + 1);
    EXPECT_EQ(state->timeFromLastHit(), 0.05);  // the girl does not touch the hit timing
    EXPECT_EQ(state->hits(), 0);
    frames(6, 0.1);
  }
  // Red stars, no streak numbers.
  EXPECT_TRUE(childrenOf<Label>(game).empty());
}

TEST_F(GameTest, StreakBreaksOnlyWhenNoTouchOfTheEventHitsAnything) {
  startQuietGame();
  state->setConsecutiveHits(3);
  Rooster* r = place<Rooster>(0);
  touch({CGPointMake(470, 200), inside(r)});
  EXPECT_EQ(state->consecutiveHits(), 4);
  EXPECT_EQ(state->score(), 28);
  touch(470, 200);
  EXPECT_EQ(state->consecutiveHits(), 0);
  state->setConsecutiveHits(2);
  touch({});
  EXPECT_EQ(state->consecutiveHits(), 0);
  // The reset button counts as a hit.
  state->setConsecutiveHits(2);
  touch(456, 292);
  EXPECT_EQ(state->consecutiveHits(), 2);
}

TEST_F(GameTest, FrontRoosterShieldsTheOneBehindUntilHit) {
  startQuietGame();
  Rooster* back = place<Rooster>(4);   // box x 190..270, y 92..172
  Rooster* front = place<Rooster>(1);  // box x 190..290, y 25..125
  touch(200, 100);
  EXPECT_TRUE(front->isTouched());
  EXPECT_FALSE(back->isTouched());
  touch(200, 100);
  EXPECT_TRUE(back->isTouched());
  EXPECT_EQ(state->consecutiveHits(), 2);
  touch(200, 100);
  EXPECT_EQ(state->consecutiveHits(), 0);
}

TEST_F(GameTest, TenthHitMovesToTheNextLevelAndResetsTheStreak) {
  startQuietGame();
  for (int i = 0; i < 10; ++i) {
    Rooster* r = place<Rooster>(i % 3);
    touch(inside(r).x, inside(r).y);
    if (i < 9) {
      EXPECT_EQ(state->currentLevel(), 1);
      EXPECT_EQ(state->hits(), i + 1);
    }
    frame(0.2);  // apart: no double hits
  }
  EXPECT_EQ(state->currentLevel(), 2);
  EXPECT_EQ(state->hits(), 0);
  EXPECT_EQ(state->consecutiveHits(), 0);
  EXPECT_FLOAT_EQ(state->freq(), 0.8f);
  EXPECT_EQ(state->score(), 10 * 25 + 45);
  frame(0.01);
  EXPECT_EQ(hud->levelLabel()->string(), "Level 2");
}

// --- the end of the clock ------------------------------------------------------------------------

TEST_F(GameTest, ClockBelowZeroStopsAtZeroAndEndsTheGameOnce) {
  startQuietGame();
  state->setScore(321);
  state->setTime(0.02);
  ::testing::internal::CaptureStdout();
  frame(0.03);
  frames(5, 0.1);
  const std::string out = ::testing::internal::GetCapturedStdout();
  EXPECT_EQ(state->time(), 0.0);
  EXPECT_EQ(out, "final score: 321\n");
  EXPECT_FALSE(game->isScheduled(TimerCallback(game, &GameNode::tick)));
  EXPECT_EQ(hud->timeLabel()->string(), "00:00");
}

TEST_F(GameTest, CharactersOnTheBoardFinishAfterTheGameEnds) {
  startGame();
  game->popSprite();
  ASSERT_EQ(childrenOf<CharacterSprite>(game).size(), 1u);
  state->setTime(0.01);
  ::testing::internal::CaptureStdout();
  frames(30, 0.1);
  ::testing::internal::GetCapturedStdout();
  EXPECT_TRUE(childrenOf<CharacterSprite>(game).empty());
}

}  // namespace
}  // namespace peckish::test
