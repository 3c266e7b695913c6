#pragma once
// The game scene and its controlling layer.
//
// gameNode() builds a new scene holding a fresh game: the board background (z 1), the HUD (z 2)
// and a GameNode (z 3). Callers hand it to the Director inside a fade:
//   director->replaceScene(sceneTransition("FadeTransition", 1.0, gameNode()));
//
// GameNode runs the two-minute game: its tick() runs the clock down and, once per level interval,
// popSprite() places a rooster or the girl in a free hole, which rises, holds and sinks. Touches
// are tested against the layer's children from the top down (highest z first, among equal z the
// most recently added first); a touch hits at most one character or button. clickOK() scores a
// hit: 25 points plus the streak, double points and two extra seconds for a second rooster within
// a tenth of a second, a tenth of the score off for the girl, a new level every ten rooster hits.
// When the clock runs out, gameOverDialog() ends the game.
//
// z-orders inside the layer: reset button 1, a character 9 - its hole (1..9), its prize star the
// same, the streak number 10, the "2 X" label 0.
//
// The dialog side (game over, restart, the name field, the score submission, leaving for the
// menu) is implemented in GameNodeDialogs.cpp. Dialog objects and the name field are held as
// opaque reference-counted objects; their delegate operations take them as Object*.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/Object.h"
#include "engine/scene/Layer.h"
#include "math/Vec2.h"
#include "platform/Http.h"

namespace peckish {

class CharacterSprite;
class Scene;
class SpriteZ;
class State;

// A new scene with a fresh game (plays a pickup line first).
Ref<Scene> gameNode();

class GameNode : public Layer {
 public:
  // Starts a new game: State reset and level 1, tick scheduled, the name field, the reset button,
  // "startGame" logged.
  GameNode();
  ~GameNode() override;

  static Ref<GameNode> node() { return make<GameNode>(); }

  // Layer behaviour (touch handler), then the game music.
  void onEnter() override;

  // --- the game ------------------------------------------------------------------------------
  // The frame step: clock, hit timing, game over, spawning.
  void tick(double dt);
  // True from the start of the game until the clock ran out (tick is scheduled).
  bool isClockRunning() const;
  // One spawn attempt: a rooster or the girl into a free hole; nothing when the board is full.
  void popSprite();
  // End of life of characters, stars and labels: frees the hole of a character, removes the node.
  void spriteDeadCB(Node* node);
  void touchesBegan(const platform::TouchSet& touches, const platform::UIEvent& event) override;
  // Scores a hit on a character at point p (scene coordinates).
  void clickOK(CharacterSprite* character, CGPoint p);

  // Non-zero while a character occupies that hole.
  const std::int8_t* usedPositions() const { return usedPositions_; }
  // Prize stars waiting to be added when the current touch handling ends (newest first).
  const std::vector<Ref<SpriteZ>>& childrenToAdd() const { return childrenToAdd_; }
  float timeFromLastTick() const { return timeFromLastTick_; }
  void setTimeFromLastTick(float t) { timeFromLastTick_ = t; }
  State* state() const { return state_; }

  // --- the dialog side (GameNodeDialogs.cpp) ---------------------------------------------------
  // Ends the game (tick unscheduled for good), prints "final score: N", offers the score to the
  // high-score table kept on this machine under the remembered name (else "Player") and shows the
  // game-over dialog. Its "Main Menu" leaves through that table, the new entry highlighted.
  void gameOverDialog();
  // The reset button: pauses the game and asks whether to restart.
  void restartGameDialog();
  // Delegate of the alerts: index 0 is the first button added.
  void alertViewClickedButtonAtIndex(Object* alert, int index);
  // Delegate of the name field.
  bool textFieldShouldReturn(Object* field);
  // The name typed is remembered, renames this game's entry in the local table, and is sent.
  void textFieldDidEndEditing(Object* field);
  // Escape in the name field: the field goes away, nothing is stored, renamed or sent.
  void textFieldDidCancel(Object* field);
  // Posts the score to the high-score server from a worker (platform::HttpExchange), while a
  // "Sending..." alert stands over the game, which is drawn on. Its Cancel (or Escape) gives the
  // wait up and brings the game-over dialog back, the score and the name kept for another try.
  // The answer arrives through scoreSent. One send at a time.
  void saveHighScore();
  // The answer. Saved (a 2xx status with a body): the local high-score table; otherwise (no
  // answer, an empty one or a refusal) the error alert, and the score stays on the stopped game
  // screen.
  void scoreSent(const platform::HttpResponse& response);
  // True from saveHighScore until the answer arrived or the send was given up.
  bool isSendingScore() const;
  // The local high-score table, this game's entry highlighted.
  void showHighScores();
  // Leaves the game for the main menu.
  void menu();

  Object* gameOverAlert() const { return gameOverAlert_.get(); }
  void setGameOverAlert(Ref<Object> alert) { gameOverAlert_ = std::move(alert); }
  Object* restartAlert() const { return restartAlert_.get(); }
  void setRestartAlert(Ref<Object> alert) { restartAlert_ = std::move(alert); }
  Object* sendingAlert() const { return sendingAlert_.get(); }
  void setSendingAlert(Ref<Object> alert) { sendingAlert_ = std::move(alert); }
  Object* errorAlert() const { return errorAlert_.get(); }
  void setErrorAlert(Ref<Object> alert) { errorAlert_ = std::move(alert); }
  Object* highScoreTextField() const { return highScoreTextField_.get(); }
  void setHighScoreTextField(Ref<Object> field) { highScoreTextField_ = std::move(field); }
  // The player name; none until one was stored or entered.
  const std::optional<std::string>& username() const { return username_; }
  void setUsername(std::optional<std::string> name) { username_ = std::move(name); }
  // The id of this game's entry in the local high-score table; "" before game over or when the
  // score did not make the table.
  const std::string& localEntry() const { return localEntry_; }

 protected:
  // Creates the name field and reads the stored player name (called once by the constructor).
  void initNameField();

 private:
  Ref<Object> gameOverAlert_;
  Ref<Object> restartAlert_;
  Ref<Object> errorAlert_;
  Ref<Object> sendingAlert_;
  Ref<platform::HttpExchange> scoreSend_;
  std::vector<Ref<SpriteZ>> childrenToAdd_;
  float timeFromLastTick_ = 0.f;
  State* state_ = nullptr;
  Ref<Object> highScoreTextField_;
  std::optional<std::string> username_;
  std::string localEntry_;
  std::int8_t usedPositions_[9] = {};
};

}  // namespace peckish
