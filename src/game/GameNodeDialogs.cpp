// The dialog side of the game layer. For now: the game ends with its score on standard output;
// the restart button and the way back to the menu do nothing yet.
#include <cstdio>

#include "game/GameNode.h"
#include "game/State.h"

namespace peckish {

void GameNode::initNameField() {}

void GameNode::gameOverDialog() {
  unschedule(&GameNode::tick);
  std::printf("final score: %d\n", state()->score());
  std::fflush(stdout);
}

void GameNode::restartGameDialog() {}

void GameNode::alertViewClickedButtonAtIndex(Object*, int) {}

bool GameNode::textFieldShouldReturn(Object*) { return true; }

void GameNode::textFieldDidEndEditing(Object*) {}

void GameNode::saveHighScore() {}

void GameNode::showHighScores() { menu(); }

void GameNode::menu() {}

}  // namespace peckish
