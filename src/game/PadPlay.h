#pragma once
// Playing with a game controller. The pad's buttons and stick arrive as key events marked
// platform::KeyEvent::pad (platform/Input.h): the arrows (d-pad or left stick) move a highlight
// over the nine holes, a row or a column a step, stopping at the edges of the board, and Return
// (the south button) taps the highlighted hole through keyboard play's tapHole (game/KeyboardPlay.h),
// so hits, misses, the girl, streaks and double hits score as clicks do. Start (P) and
// Back/Select (Escape) reach the application delegate as those keys.
//
// The highlight lives in the game's scene over the board and starts on the middle hole of each new
// game. It is made by the pad's first key and drawn only while the pad is in use (until the mouse
// moves): a game played with the mouse or the keys looks as it always did.
//
//   if (e.pad && padPlayKey(game, e)) return true;
#include "engine/scene/Node.h"
#include "platform/Display.h"

namespace peckish {

class GameNode;

class HoleHighlight : public Node {
 public:
  HoleHighlight();
  static Ref<HoleHighlight> node() { return make<HoleHighlight>(); }
  // The highlight of the game's scene, or null before the pad's first key.
  static HoleHighlight* of(GameNode* game);

  int hole() const { return hole_; }
  void moveTo(int hole);
  // A step in the direction of an arrow key; false (nothing moves) at the edge of the board.
  bool step(platform::Key arrow);
  // Whether it is drawn now: while a pad is in use.
  bool lit() const;
  void draw() override;

  // Vertices of the ring around a hole (a triangle strip, inner and outer edge in turn).
  static constexpr int kSegments = 32;
  static constexpr int kVertices = 2 * (kSegments + 1);

 private:
  int hole_ = 4;
  float ring_[2 * kVertices] = {};
};

// A pad's key in a running game: the arrows move the highlight, Return taps its hole. True when
// the key was the board's (it is taken even while the game is paused, and then does nothing).
bool padPlayKey(GameNode* game, const platform::KeyEvent& e);

}  // namespace peckish
