// A game controller on the board: plugged in during a game, its d-pad moves a highlight over the
// holes, its south button taps the highlighted one as a click would, Start pauses, Back/Select
// opens the restart dialog, the east button answers it "No", and pulling it out pauses the game.
// In menus and dialogs it moves the same focus as the keys and chooses with the south button.
// Then a whole game played with the d-pad and the south button alone.
#include <gtest/gtest.h>

#include <set>

#include "ShellTestSupport.h"
#include "engine/menu/Menu.h"
#include "engine/render/Label.h"
#include "game/PadPlay.h"
#include "support/VirtualPad.h"
#include "ui/Banner.h"

namespace peckish::test {
namespace {

using PadPlayTest = ShellTest;

TEST_F(PadPlayTest, AControllerPlaysTheBoardAsClicksDo) {
  launch();
  playFromMenu();
  State* state = State::sharedState();
  state->setFreq(1e9f);
  clearBoard();
  platform::Display* display = platform::Display::shared();
  const int before = display->padCount();
  // Before any pad there is no highlight: the board looks as it always did.
  EXPECT_EQ(HoleHighlight::of(game()), nullptr);

  VirtualPad pad;  // plugged in mid-game
  ASSERT_TRUE(pad.attached()) << SDL_GetError();
  EXPECT_EQ(display->padCount(), before + 1);

  // The d-pad walks the highlight from the middle hole, a hole a push, stopping at the edges.
  const struct {
    SDL_GameControllerButton push;
    int hole;  // where the highlight stands afterwards
  } walk[] = {
      {SDL_CONTROLLER_BUTTON_DPAD_LEFT, 3},  {SDL_CONTROLLER_BUTTON_DPAD_UP, 6},
      {SDL_CONTROLLER_BUTTON_DPAD_UP, 6},    {SDL_CONTROLLER_BUTTON_DPAD_RIGHT, 7},
      {SDL_CONTROLLER_BUTTON_DPAD_RIGHT, 8}, {SDL_CONTROLLER_BUTTON_DPAD_RIGHT, 8},
      {SDL_CONTROLLER_BUTTON_DPAD_DOWN, 5},  {SDL_CONTROLLER_BUTTON_DPAD_DOWN, 2},
      {SDL_CONTROLLER_BUTTON_DPAD_DOWN, 2},
  };
  for (const auto& w : walk) {
    SCOPED_TRACE(SDL_GameControllerGetStringForButton(w.push));
    pad.press(w.push);
    ASSERT_NE(HoleHighlight::of(game()), nullptr);
    EXPECT_EQ(HoleHighlight::of(game())->hole(), w.hole);
  }
  HoleHighlight* highlight = HoleHighlight::of(game());
  EXPECT_TRUE(highlight->lit());
  EXPECT_EQ(state->score(), 0) << "moving taps nothing";

  // South taps the highlighted hole: a hit, then a double hit with the hole beside it.
  Rooster* first = place<Rooster>(2);
  pad.press(SDL_CONTROLLER_BUTTON_A);
  EXPECT_TRUE(first->isTouched());
  EXPECT_EQ(state->score(), 25);
  Rooster* left = place<Rooster>(1);
  Rooster* right = place<Rooster>(2);
  frame(0.5);
  const double t = state->time();
  pad.press(SDL_CONTROLLER_BUTTON_A);
  pad.press(SDL_CONTROLLER_BUTTON_DPAD_LEFT);
  pad.press(SDL_CONTROLLER_BUTTON_A);
  EXPECT_TRUE(left->isTouched());
  EXPECT_TRUE(right->isTouched());
  EXPECT_EQ(state->score(), 25 + 26 + 27 + 27 + 26);
  EXPECT_EQ(state->time(), t + 2.0);
  // The girl is a miss; an empty hole a tap on the ground that breaks the streak.
  pad.press(SDL_CONTROLLER_BUTTON_DPAD_UP);
  place<Girl>(4);
  pad.press(SDL_CONTROLLER_BUTTON_A);
  EXPECT_EQ(state->misses(), 1);
  EXPECT_EQ(state->score(), 131 * 9 / 10);
  place<Rooster>(4);
  pad.press(SDL_CONTROLLER_BUTTON_A);
  EXPECT_EQ(state->consecutiveHits(), 1);
  pad.press(SDL_CONTROLLER_BUTTON_DPAD_UP);
  pad.press(SDL_CONTROLLER_BUTTON_A);
  EXPECT_EQ(state->consecutiveHits(), 0);

  // Start pauses as P does; meanwhile the pad moves and taps nothing; Start again goes on.
  pad.press(SDL_CONTROLLER_BUTTON_START);
  ASSERT_TRUE(app->isPlayerPaused());
  EXPECT_TRUE(director->isPaused());
  Rooster* waiting = place<Rooster>(7);
  pad.press(SDL_CONTROLLER_BUTTON_DPAD_RIGHT);
  pad.press(SDL_CONTROLLER_BUTTON_A);
  EXPECT_EQ(highlight->hole(), 7);
  EXPECT_FALSE(waiting->isTouched());
  pad.press(SDL_CONTROLLER_BUTTON_START);
  EXPECT_FALSE(app->isPlayerPaused());
  EXPECT_FALSE(director->isPaused());
  pad.press(SDL_CONTROLLER_BUTTON_A);
  EXPECT_TRUE(waiting->isTouched());

  // Back/Select opens the restart dialog as Escape does; the east button answers it "No".
  pad.press(SDL_CONTROLLER_BUTTON_BACK);
  ASSERT_EQ(alertCount(), 1);
  EXPECT_EQ(alert()->title(), "Restart?");
  EXPECT_TRUE(director->isPaused());
  pad.press(SDL_CONTROLLER_BUTTON_B);
  EXPECT_EQ(alertCount(), 0);
  EXPECT_FALSE(director->isPaused());
  EXPECT_NE(game(), nullptr);

  // The mouse moving puts the highlight out until the pad is used again.
  display->injectMouseMotion(100, 100);
  display->pumpEvents();
  EXPECT_FALSE(highlight->lit());
  pad.press(SDL_CONTROLLER_BUTTON_DPAD_DOWN);
  EXPECT_TRUE(highlight->lit());

  // Pulled out mid-game: the player's pause, banner and all.
  pad.unplug();
  display->pumpEvents();
  EXPECT_EQ(display->padCount(), before);
  EXPECT_TRUE(app->isPlayerPaused());
  EXPECT_TRUE(director->isPaused());
  ASSERT_NE(app->pauseBanner(), nullptr);
  EXPECT_TRUE(app->pauseBanner()->isVisible());
}

TEST_F(PadPlayTest, AControllerSteersTheMenuAndItsDialogs) {
  launch();
  VirtualPad pad;
  ASSERT_TRUE(pad.attached()) << SDL_GetError();
  Menu* menu = menuLayer()->menu();
  EXPECT_FALSE(menu->isFocusShown());
  pad.press(SDL_CONTROLLER_BUTTON_DPAD_DOWN);  // the first push shows the focus on Play
  EXPECT_TRUE(menu->isFocusShown());
  EXPECT_EQ(menu->focusedItem(), 0);
  pad.press(SDL_CONTROLLER_BUTTON_DPAD_DOWN);
  pad.lean(SDL_CONTROLLER_AXIS_LEFTY, 30000);  // the stick: one step a push
  platform::Display::shared()->pumpEvents();
  pad.lean(SDL_CONTROLLER_AXIS_LEFTY, 0);
  platform::Display::shared()->pumpEvents();
  EXPECT_EQ(menu->focusedItem(), 2);  // Instructions
  pad.press(SDL_CONTROLLER_BUTTON_A);
  ASSERT_EQ(alertCount(), 1);
  EXPECT_EQ(alert()->title(), "Instructions");
  pad.press(SDL_CONTROLLER_BUTTON_DPAD_UP);  // the dialog has the keys, not the menu behind it
  EXPECT_EQ(menu->focusedItem(), 2);
  pad.press(SDL_CONTROLLER_BUTTON_A);  // OK
  EXPECT_EQ(alertCount(), 0);
  pad.press(SDL_CONTROLLER_BUTTON_DPAD_UP);
  pad.press(SDL_CONTROLLER_BUTTON_DPAD_UP);
  EXPECT_EQ(menu->focusedItem(), 0);
  pad.press(SDL_CONTROLLER_BUTTON_A);  // Play
  settle();
  EXPECT_NE(game(), nullptr);
}

// A whole game with nothing but the d-pad and the south button: the highlight is walked to a
// rooster standing risen and tapped, until the clock runs out.
TEST_F(PadPlayTest, AControllerAloneScoresAWholeGame) {
  platform::Options options;
  options.play = true;
  options.seed = 7;
  launch(options);
  settle();
  ASSERT_NE(game(), nullptr);
  VirtualPad pad;
  ASSERT_TRUE(pad.attached()) << SDL_GetError();
  pad.press(SDL_CONTROLLER_BUTTON_DPAD_DOWN);  // shows the highlight
  ASSERT_NE(HoleHighlight::of(game()), nullptr);
  Ref<GameNode> playing(game());
  State* state = State::sharedState();
  std::set<int> holesHit;
  int frameCount = 0;
  while (playing->isClockRunning() && frameCount < 2000) {
    frame(0.1);
    ++frameCount;
    Rooster* target = nullptr;
    for (const auto& e : playing->children())
      if (auto* r = dynamic_cast<Rooster*>(e.node.get()); r && !r->isTouched() && r->scale() >= 0.5f) target = r;
    if (!target) continue;
    HoleHighlight* highlight = HoleHighlight::of(playing.get());
    const int hole = target->gridPosition();
    while (highlight->hole() / 3 < hole / 3) pad.press(SDL_CONTROLLER_BUTTON_DPAD_UP);
    while (highlight->hole() / 3 > hole / 3) pad.press(SDL_CONTROLLER_BUTTON_DPAD_DOWN);
    while (highlight->hole() % 3 < hole % 3) pad.press(SDL_CONTROLLER_BUTTON_DPAD_RIGHT);
    while (highlight->hole() % 3 > hole % 3) pad.press(SDL_CONTROLLER_BUTTON_DPAD_LEFT);
    const int score = state->score();
    pad.press(SDL_CONTROLLER_BUTTON_A);
    if (target->isTouched() && state->score() > score) holesHit.insert(hole);
  }
  EXPECT_FALSE(playing->isClockRunning()) << "the game did not end";
  EXPECT_GT(state->score(), 0);
  EXPECT_GE(holesHit.size(), 3u);
}

}  // namespace
}  // namespace peckish::test
