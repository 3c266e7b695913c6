#include "game/PadPlay.h"

#include <cmath>

#include "engine/render/QuadBatch.h"
#include "engine/scene/Director.h"
#include "game/GameNode.h"
#include "game/KeyboardPlay.h"
#include "game/Positions.h"
#include "platform/GLES.h"

namespace peckish {

namespace {

// Over the board and the characters, under nothing of the game's own.
constexpr int kHighlightZ = 4;

// The ring at scale 1 (a front hole): half its width and height around the hole's point, and
// how thick it is, in points. Farther rows shrink it as they shrink the characters.
constexpr float kHalfWidth = 62.f;
constexpr float kHalfHeight = 21.f;
constexpr float kThickness = 5.f;

float rowScale(int hole) { return hole < 3 ? 1.0f : hole < 6 ? 0.8f : 0.6f; }

}  // namespace

HoleHighlight::HoleHighlight() {
  constexpr float kPi = 3.14159265f;
  for (int i = 0; i <= kSegments; ++i) {
    const float a = 2.f * kPi * static_cast<float>(i) / kSegments;
    const float c = std::cos(a), s = std::sin(a);
    ring_[4 * i + 0] = c * (kHalfWidth - kThickness / 2);
    ring_[4 * i + 1] = s * (kHalfHeight - kThickness / 2);
    ring_[4 * i + 2] = c * (kHalfWidth + kThickness / 2);
    ring_[4 * i + 3] = s * (kHalfHeight + kThickness / 2);
  }
  moveTo(hole_);
}

HoleHighlight* HoleHighlight::of(GameNode* game) {
  Node* scene = game ? game->parent() : nullptr;
  if (!scene) return nullptr;
  for (const Node::ChildEntry& e : scene->children())
    if (auto* h = dynamic_cast<HoleHighlight*>(e.node.get())) return h;
  return nullptr;
}

void HoleHighlight::moveTo(int hole) {
  if (hole < 0 || hole >= static_cast<int>(Positions::kCount)) return;
  hole_ = hole;
  setPosition(Positions::pos(static_cast<unsigned>(hole)));
  setScale(rowScale(hole));
}

bool HoleHighlight::step(platform::Key arrow) {
  using platform::Key;
  // Rows from the front (0) to the back (2): up on the screen is farther back.
  int row = hole_ / 3, column = hole_ % 3;
  switch (arrow) {
    case Key::Up: ++row; break;
    case Key::Down: --row; break;
    case Key::Left: --column; break;
    case Key::Right: ++column; break;
    default: return false;
  }
  if (row < 0 || row > 2 || column < 0 || column > 2) return false;
  moveTo(row * 3 + column);
  return true;
}

bool HoleHighlight::lit() const {
  const platform::Display* d = platform::Display::shared();
  return d && d->padActive();
}

void HoleHighlight::draw() {
  if (!lit()) return;
  QuadBatch::flush();
  glColor4f(1.f, 0.84f, 0.f, 1.f);
  glVertexPointer(2, GL_FLOAT, 0, ring_);
  glEnableClientState(GL_VERTEX_ARRAY);
  glDrawArrays(GL_TRIANGLE_STRIP, 0, kVertices);
  glDisableClientState(GL_VERTEX_ARRAY);
  glColor4f(1.f, 1.f, 1.f, 1.f);
}

bool padPlayKey(GameNode* game, const platform::KeyEvent& e) {
  using platform::Key;
  const bool arrow = e.key == Key::Up || e.key == Key::Down || e.key == Key::Left || e.key == Key::Right;
  if (!game || !e.pad || !(arrow || e.key == Key::Return)) return false;
  if (!Director::exists() || Director::sharedDirector()->isPaused()) return true;
  HoleHighlight* highlight = HoleHighlight::of(game);
  if (!highlight) {
    Node* scene = game->parent();
    if (!scene) return false;
    Ref<HoleHighlight> made = HoleHighlight::node();
    highlight = made.get();
    scene->add(made, kHighlightZ);
  }
  if (arrow) {
    highlight->step(e.key);
  } else if (!e.repeat) {
    tapHole(game, highlight->hole());
  }
  return true;
}

}  // namespace peckish
