// The HUD: texts of the three labels, re-rendering only on change, blinking on level change.
#include <gtest/gtest.h>

#include "GameTestSupport.h"
#include "engine/render/Texture2D.h"

namespace peckish::test {
namespace {

using GameHUDTest = GameTest;

TEST_F(GameHUDTest, ClockTexts) {
  startQuietGame();
  EXPECT_EQ(hud->timeLabel()->string(), "02:00");
  EXPECT_EQ(hud->timeLabel()->position(), Vec2(388, 288));
  const struct {
    double time;
    const char* text;
  } cases[] = {{59.99, "00:59"}, {0.0, "00:00"}, {121.5, "02:01"}, {120.0, "02:00"}, {600.4, "10:00"}};
  for (const auto& c : cases) {
    state->setTime(c.time);
    frame(0);
    EXPECT_EQ(hud->timeLabel()->string(), c.text) << c.time;
  }
}

TEST_F(GameHUDTest, LabelsChangeOnlyWhenTheirValueChanges) {
  startQuietGame();
  Label* score = hud->scoreLabel();
  Label* time = hud->timeLabel();
  EXPECT_EQ(score->string(), "0");
  EXPECT_EQ(score->position(), Vec2(50, 288));
  EXPECT_EQ(hud->levelLabel()->position(), Vec2(240, 288));
  state->setScore(25);
  frame(0);
  Texture2D* before = score->texture();
  Texture2D* clock = time->texture();
  frame(0);  // nothing changed: nothing re-rendered
  EXPECT_EQ(score->texture(), before);
  EXPECT_EQ(time->texture(), clock);
  state->setScore(51);
  frame(0);
  EXPECT_EQ(score->string(), "51");
  EXPECT_EQ(hud->scoreLabel(), score);  // the same label, new text
}

TEST_F(GameHUDTest, LevelLabelBlinksOnLevelChangeOnly) {
  startQuietGame();
  // The very first game: created at level 0, the first frame shows level 1 and blinks.
  EXPECT_EQ(hud->levelLabel()->string(), "Level 1");
  EXPECT_EQ(hud->levelLabel()->actions().size(), 1u);
  frames(25, 0.1);  // the 2 s blink is over
  EXPECT_TRUE(hud->levelLabel()->actions().empty());
  EXPECT_TRUE(hud->levelLabel()->visible());

  state->setScore(300);
  state->setTime(30);
  frame(0.1);
  frame(0.1);
  EXPECT_TRUE(hud->levelLabel()->actions().empty());

  Label* score = hud->scoreLabel();
  state->setCurrentLevel(3);
  frame(0.1);
  frames(25, 0.1);
  state->nextLevel();
  frame(0.1);
  EXPECT_EQ(hud->levelLabel()->string(), "Level 4");
  EXPECT_EQ(hud->levelLabel()->actions().size(), 1u);
  EXPECT_TRUE(score->actions().empty());
  EXPECT_EQ(hud->scoreLabel(), score);
  EXPECT_TRUE(hud->timeLabel()->actions().empty());
}

TEST_F(GameHUDTest, NextGameBlinksOnlyWhenTheLastOneEndedAboveLevelOne) {
  startQuietGame();
  for (const auto& [lastLevel, blinks] : {std::pair{1, false}, std::pair{5, true}}) {
    state->setCurrentLevel(lastLevel);
    state->setScore(777);
    Ref<Scene> next = gameNode();
    GameHUD* nextHud = childrenOf<GameHUD>(next.get()).at(0);
    EXPECT_EQ(nextHud->scoreLabel()->string(), "777");  // the previous game's values at first
    director->replaceScene(next);
    frame(0);
    EXPECT_EQ(nextHud->levelLabel()->string(), "Level 1");
    EXPECT_EQ(nextHud->scoreLabel()->string(), "0");
    EXPECT_EQ(!nextHud->levelLabel()->actions().empty(), blinks) << lastLevel;
  }
}

}  // namespace
}  // namespace peckish::test
