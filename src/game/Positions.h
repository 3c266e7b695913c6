#pragma once
// The board: nine holes in three rows laid out in perspective, in points of the 480 x 320
// landscape screen (origin lower left). Index 0-2 is the front row (lowest, risen scale 1.0), 3-5
// the middle row (0.8), 6-8 the back row (0.6). A character stands with its bottom centre on the
// point of its hole and is drawn at z-order 9 - index, so nearer rows cover farther ones.
#include "math/Vec2.h"

namespace peckish {

class Positions {
 public:
  static constexpr unsigned kCount = 9;

  // The point of a hole, by value. An index past the board raises "InvalidBoardIndex".
  static Vec2 pos(unsigned index);
};

}  // namespace peckish
