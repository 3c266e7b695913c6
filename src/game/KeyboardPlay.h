#pragma once
// Keyboard play: nine keys for the nine holes, laid out as the holes are seen on screen, on the
// numeric keypad and on the letter block at the left of the keyboard:
//
//   keypad  7 8 9    letter block  Q W E    back row    (holes 6 7 8)
//           4 5 6                  A S D    middle row  (holes 3 4 5)
//           1 2 3                  Z X C    front row   (holes 0 1 2)
//
// The letter block goes by where the keys sit (platform::Scancode, named as a US keyboard prints
// them), whatever the layout types with them: on AZERTY the key typing Q taps hole 3, on Colemak
// the key typing F taps hole 8. While a game runs these nine keys tap and do nothing else (no
// shortcut by the letter they type); inLetterBlock tells them apart.
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
// Whether the key is one of the letter block's nine.
bool inLetterBlock(const platform::KeyEvent& e);
// Taps the hole of the game as described above.
void tapHole(GameNode* game, int hole);

}  // namespace peckish
