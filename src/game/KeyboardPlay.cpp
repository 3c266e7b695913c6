#include "game/KeyboardPlay.h"

#include "engine/scene/Director.h"
#include "game/Autoplay.h"
#include "game/GameNode.h"
#include "game/Positions.h"
#include "game/Sprites.h"
#include "platform/RunLoop.h"

namespace peckish {

namespace {

// Touch ids of the keys: one per hole, apart from the mouse's and the bot's.
constexpr std::int64_t kFirstKeyTouchId = 1000;

// Whether a touch at p would hit something: an untouched character or button of the layer.
bool somethingAt(GameNode* game, CGPoint p) {
  for (const Node::ChildEntry& e : game->children()) {
    auto* sprite = dynamic_cast<TouchSprite*>(e.node.get());
    if (!sprite || sprite->isTouched()) continue;
    if (!dynamic_cast<Button*>(sprite) && !dynamic_cast<CharacterSprite*>(sprite)) continue;
    if (sprite->containsPoint(p)) return true;
  }
  return false;
}

// A point of empty ground by the hole: just in front of it, else at the foot of the screen below
// it (below every character's feet).
CGPoint groundPoint(GameNode* game, int hole) {
  const Vec2 h = Positions::pos(static_cast<unsigned>(hole));
  const CGPoint candidates[] = {CGPointMake(h.x, h.y - 6.f), CGPointMake(h.x, 4.f)};
  for (const CGPoint& p : candidates)
    if (!somethingAt(game, p)) return p;
  return candidates[1];
}

// The hole of a key of the letter block, by where the key sits; -1 for any other key.
int letterBlockHole(platform::Scancode at) {
  using platform::Scancode;
  switch (at) {
    case Scancode::Z: return 0;
    case Scancode::X: return 1;
    case Scancode::C: return 2;
    case Scancode::A: return 3;
    case Scancode::S: return 4;
    case Scancode::D: return 5;
    case Scancode::Q: return 6;
    case Scancode::W: return 7;
    case Scancode::E: return 8;
    default: return -1;
  }
}

}  // namespace

int holeForKey(const platform::KeyEvent& e) {
  if (const int digit = platform::keypadDigit(e)) return digit - 1;
  return letterBlockHole(e.scancode);
}

bool inLetterBlock(const platform::KeyEvent& e) { return letterBlockHole(e.scancode) >= 0; }

void tapHole(GameNode* game, int hole) {
  if (!game || hole < 0 || hole >= static_cast<int>(Positions::kCount)) return;
  Ref<GameNode> keep(game);
  CharacterSprite* character = nullptr;
  for (const Node::ChildEntry& e : game->children()) {
    auto* c = dynamic_cast<CharacterSprite*>(e.node.get());
    if (c && c->gridPosition() == hole && !c->isTouched()) character = c;
  }
  CGPoint p;
  if (!character || !Autoplay::safePoint(game, character, &p)) p = groundPoint(game, hole);
  Autoplay::tapAt(p, kFirstKeyTouchId + hole, platform::RunLoop::main().now());
}

}  // namespace peckish
