// The dialog side of the game layer: game over, the local high-score table, restart, the name field
// and the score submission.
#include <cstdio>

#include "audio/BackgroundSoundManager.h"
#include "audio/SoundEffectManager.h"
#include "core/Log.h"
#include "engine/scene/Director.h"
#include "engine/transitions/Transition.h"
#include "engine/transitions/TransitionRegistry.h"
#include "game/GameNode.h"
#include "game/MainMenu.h"
#include "game/PeckishAppDelegate.h"
#include "game/ScoreSubmission.h"
#include "game/State.h"
#include "platform/Config.h"
#include "platform/HighScoreTable.h"
#include "platform/Http.h"
#include "platform/UserDefaults.h"
#include "ui/AlertView.h"
#include "ui/TextField.h"

namespace peckish {

namespace {

ui::TextField* nameField(const GameNode* game) { return dynamic_cast<ui::TextField*>(game->highScoreTextField()); }

// Takes the name field off the screen without submitting (the game is being left).
void takeAwayNameField(const GameNode* game) {
  if (ui::TextField* field = nameField(game)) {
    field->abandonEditing();
    field->removeFromSuperview();
  }
}

}  // namespace

std::string scorePayload(const std::string& player, int score) {
  return "gid=" + std::to_string(kHighScoreGameId) + "&player=" + platform::formUrlEncode(player) +
         "&score=" + std::to_string(score);
}

std::string scoreSubmissionURL() {
  std::string base = platform::highScoreBaseUrl();
  while (!base.empty() && base.back() == '/') base.pop_back();
  return base + "/highscores/public/save.php";
}

void GameNode::initNameField() {
  Ref<ui::TextField> field = ui::TextField::create(CGRectMake(60, 214, 240, 30));
  field->setTransform(1.571f);
  field->setDelegate(ui::TextField::ShouldReturn(this, &GameNode::textFieldShouldReturn),
                     ui::TextField::DidEndEditing(this, &GameNode::textFieldDidEndEditing),
                     ui::TextField::DidCancel(this, &GameNode::textFieldDidCancel));
  field->setBackgroundColor(0.f, 0.f, 0.f, 0.5f);
  field->setTextColor(1.f, 1.f, 1.f, 1.f);
  field->setFont("Verdana", 24.f);
  field->setPlaceholder("Enter Your Name");
  field->setTextAlignment(1);
  // No longer than the server takes.
  field->setMaxBytes(kMaxPlayerNameBytes);
  field->setHint("Return sends your score, Escape cancels");
  setHighScoreTextField(field);
  setUsername(platform::UserDefaults::standard().stringForKey("username"));
}

void GameNode::gameOverDialog() {
  unschedule(&GameNode::tick);
  if (BackgroundSoundManager* music = BackgroundSoundManager::sharedManager()) music->stop();
  SoundEffectManager::sharedManager()->playSound("GameOver.caf");
  const int score = state()->score();
  std::printf("final score: %d\n", score);
  std::fflush(stdout);
  const std::string name = username().value_or("");
  localEntry_ = platform::HighScoreTable::standard().add(name.empty() ? "Player" : name, score,
                                                         state()->currentLevel());
  char message[64];
  std::snprintf(message, sizeof message, "Your final score is %d", score);
  Ref<ui::AlertView> alert =
      ui::AlertView::create("Game Over!", message, ui::AlertView::Delegate(this, &GameNode::alertViewClickedButtonAtIndex));
  alert->addButtonWithTitle("Main Menu");
  alert->addButtonWithTitle("Send Score");
  setGameOverAlert(alert);
  alert->show();
}

void GameNode::restartGameDialog() {
  Director* director = Director::sharedDirector();
  if (director) director->pause();
  // One restart dialog at a time.
  if (auto* open = dynamic_cast<ui::AlertView*>(restartAlert()); open && open->isVisible()) return;
  Ref<ui::AlertView> alert = ui::AlertView::create("Restart?", "Are you sure your want to restart the game?",
                                                   ui::AlertView::Delegate(this, &GameNode::alertViewClickedButtonAtIndex));
  alert->addButtonWithTitle("Yes");
  // Escape answers "No": the game goes on.
  alert->setCancelButtonIndex(alert->addButtonWithTitle("No"));
  alert->addButtonWithTitle("Menu");
  setRestartAlert(alert);
  alert->show();
}

void GameNode::alertViewClickedButtonAtIndex(Object* alert, int index) {
  Ref<GameNode> keep(this);
  if (alert && alert == gameOverAlert()) {
    if (index == 0) {
      showHighScores();
    } else if (index == 1) {
      ui::TextField* field = nameField(this);
      Director* director = Director::sharedDirector();
      if (!field || !director) return;
      field->setText(username().value_or(""));
      if (!field->superview()) director->addSubview(field);
      field->becomeFirstResponder();
    }
  } else if (alert && alert == sendingAlert()) {
    // Cancel: the wait is given up; the name was stored and the score stays for another try.
    if (scoreSend_) scoreSend_->cancel();
    scoreSend_ = nullptr;
    if (auto* gameOver = dynamic_cast<ui::AlertView*>(gameOverAlert())) gameOver->show();
  } else if (alert && alert == restartAlert()) {
    Director* director = Director::sharedDirector();
    if (director) director->resume();
    if (index == 0) {
      takeAwayNameField(this);
      if (director) director->replaceScene(sceneTransition("FadeTransition", 0.5, gameNode()));
    } else if (index == 2) {
      menu();
    }
  }
}

bool GameNode::textFieldShouldReturn(Object* field) {
  if (auto* f = dynamic_cast<ui::TextField*>(field)) f->resignFirstResponder();
  return true;
}

void GameNode::textFieldDidEndEditing(Object* field) {
  if (!field || field != highScoreTextField()) return;
  Ref<GameNode> keep(this);
  ui::TextField* f = nameField(this);
  setUsername(f->text());
  platform::UserDefaults::standard().setString("username", f->text());
  if (!f->text().empty()) platform::HighScoreTable::standard().rename(localEntry_, f->text());
  f->abandonEditing();
  f->removeFromSuperview();
  saveHighScore();
}

void GameNode::textFieldDidCancel(Object* field) {
  if (!field || field != highScoreTextField()) return;
  Ref<GameNode> keep(this);
  takeAwayNameField(this);
}

void GameNode::saveHighScore() {
  if (isSendingScore()) return;
  const std::string payload = scorePayload(username().value_or(""), state()->score());
  engineLog("Payload: %s", payload.c_str());
  platform::HttpRequest request;
  request.method = "POST";
  request.url = scoreSubmissionURL();
  request.headers.emplace_back("Content-Type", "application/x-www-form-urlencoded");
  request.body = payload;
  request.timeoutSeconds = kHighScoreTimeout;
  scoreSend_ =
      platform::HttpExchange::start(std::move(request), platform::HttpExchange::Done(this, &GameNode::scoreSent));
  // The wait, in front of the game; Escape answers Cancel.
  Ref<ui::AlertView> alert = ui::AlertView::create("Sending...", "Your score is on its way to the high-score table.",
                                                   ui::AlertView::Delegate(this, &GameNode::alertViewClickedButtonAtIndex));
  alert->setCancelButtonIndex(alert->addButtonWithTitle("Cancel"));
  setSendingAlert(alert);
  alert->show();
}

bool GameNode::isSendingScore() const { return scoreSend_ && scoreSend_->isPending(); }

void GameNode::scoreSent(const platform::HttpResponse& response) {
  Ref<GameNode> keep(this);
  scoreSend_ = nullptr;
  if (auto* sending = dynamic_cast<ui::AlertView*>(sendingAlert()); sending && sending->isVisible())
    sending->removeFromSuperview();
  // A refusal (any status outside 2xx) is as much a failure as no answer at all.
  const bool refused = response.status < 200 || response.status > 299;
  if (response.body.empty() || refused) {
    if (response.body.empty())
      engineLog("No response data!");
    else
      engineLog("Response: %ld %s", response.status, response.body.c_str());
    Ref<ui::AlertView> alert =
        ui::AlertView::create("Error", "Sorry, couldn't save your high score!  Perhaps you don't have connectivity :(",
                              ui::AlertView::Delegate(this, &GameNode::alertViewClickedButtonAtIndex));
    alert->setCancelButtonIndex(alert->addButtonWithTitle("CONTINUE"));
    setErrorAlert(alert);
    alert->show();
    return;
  }
  engineLog("Response: %s", response.body.c_str());
  showHighScores();
}

void GameNode::showHighScores() {
  takeAwayNameField(this);
  if (PeckishAppDelegate* app = PeckishAppDelegate::current()) app->showScores(localEntry_);
}

void GameNode::menu() {
  takeAwayNameField(this);
  if (Director* director = Director::sharedDirector())
    director->replaceScene(sceneTransition("FadeTransition", 1.0, mainMenu()));
}

}  // namespace peckish
