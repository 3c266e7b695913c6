#include "game/Positions.h"

#include "core/Exception.h"

namespace peckish {

namespace {
constexpr float kBoard[Positions::kCount][2] = {
    {90, 25},  {240, 25},  {380, 25},   // front
    {125, 92}, {240, 92},  {345, 92},   // middle
    {155, 142}, {240, 142}, {315, 142}, // back
};
}  // namespace

Vec2 Positions::pos(unsigned index) {
  if (index >= kCount) raise("InvalidBoardIndex", "Board index out of range");
  return Vec2{kBoard[index][0], kBoard[index][1]};
}

}  // namespace peckish
