#pragma once
// Keyboard play: nine keys for the nine holes, laid out as the holes are seen on screen, on the
// numeric keypad and on a letter block:
//
//   keypad  7 8 9    letters  Q W E    back row    (holes 6 7 8)
//           4 5 6             A S D    middle row  (holes 3 4 5)
//           1 2 3             Z X C    front row   (holes 0 1 2)
//
// A key taps the character standing in its hole through the Director's touch path, exactly as a
// click would: at a point of that character that no character in front of it covers (the point
// the autoplay bot would choose). With no character up in the hole (or one already hit, or one
// hidden entirely behind others), the key is a tap on the empty ground by the hole. Hits, misses,
// streaks and double hits (two keys within the double-hit window) therefore score as clicks do,
// and whatever stops touches (a dialog, the player's pause) stops keys as well.
//
//   int hole = holeForKey(e);
//   if (hole >= 0) tapHole(game, hole);
#include "platform/Display.h"

namespace peckish {

class GameNode;

// The hole (0..8) a key stands for, or -1.
int holeForKey(const platform::KeyEvent& e);
// Taps the hole of the game as described above.
void tapHole(GameNode* game, int hole);

}  // namespace peckish
