#pragma once
// The touchable sprites of the board.
//
//   SpriteZ          a sprite that remembers the z-order it is to be added at later (prize stars)
//   TouchSprite      a sprite that can be hit once: isTouchInside answers YES at most once
//   Button           a touch sprite that calls receiver->method() on click and can be hit again
//   CharacterSprite  a character popping out of a hole: starts at scale 0.1, stands on its bottom
//                    centre, knows its hole (gridPosition, -1 until placed)
//   Rooster, Girl    the two characters: their click sound and prize star
//
//   auto r = Rooster::node();                 // scale 0.1, gridPosition -1
//   if (r->isTouchInside(p)) r->click();      // plays "Hit.caf"
//   auto reset = Button::buttonFromFile("Reset.png", layer, &GameNode::restartGameDialog);
#include <string>

#include "core/Callback.h"
#include "engine/render/Texture2D.h"  // Sprite.h uses Ref<Texture2D> inline
#include "engine/render/Sprite.h"
#include "math/Vec2.h"

namespace peckish {

class SpriteZ : public Sprite {
 public:
  explicit SpriteZ(const std::string& fileName) : Sprite(fileName) {}
  int z() const { return z_; }
  void setZ(int z) { z_ = z; }

 private:
  int z_ = 0;
};

class TouchSprite : public Sprite {
 public:
  explicit TouchSprite(const std::string& fileName);

  // Whether p (in the parent's coordinates) lies in the sprite's hit box, edges included. The box
  // starts at position - transformAnchor (the anchor offset is not scaled) and spans the content
  // size times the scale; for a character below full scale it therefore covers the left part of
  // the picture and some ground to its left. A YES marks the sprite touched: every later call
  // answers NO.
  bool isTouchInside(CGPoint p);
  // The box test alone: answers whether p lies in the hit box, whether or not the sprite was
  // touched, and marks nothing.
  bool containsPoint(CGPoint p) const;
  // Reaction to being hit; nothing here.
  virtual void click() {}

  bool isTouched() const { return isTouched_; }
  void setIsTouched(bool touched) { isTouched_ = touched; }

 protected:
  bool isTouched_ = false;
};

class Button : public TouchSprite {
 public:
  // The receiver is not owned.
  Button(const std::string& fileName, const Callback<void()>& action)
      : TouchSprite(fileName), action_(action) {}

  template <class C>
  static Ref<Button> buttonFromFile(const std::string& fileName, C* target, void (C::*selector)()) {
    return make<Button>(fileName, Callback<void()>(target, selector));
  }

  // Calls the action, then makes the button touchable again.
  void click() override;
  const Callback<void()>& action() const { return action_; }

 private:
  Callback<void()> action_;
};

class CharacterSprite : public TouchSprite {
 public:
  // Scale 0.1, transform anchor (width / 2, 0), gridPosition -1.
  explicit CharacterSprite(const std::string& fileName);

  // The picture of the star shown where the character was hit; null for a plain character.
  virtual const char* prize() const { return nullptr; }

  int gridPosition() const { return gridPosition_; }
  void setGridPosition(int g) { gridPosition_ = g; }

 private:
  int gridPosition_ = -1;
};

class Rooster : public CharacterSprite {
 public:
  Rooster() : CharacterSprite("Rooster.png") {}
  static Ref<Rooster> node() { return make<Rooster>(); }
  // Plays "Hit.caf".
  void click() override;
  const char* prize() const override { return "YellowStar.png"; }
};

class Girl : public CharacterSprite {
 public:
  Girl() : CharacterSprite("Girl.png") {}
  static Ref<Girl> node() { return make<Girl>(); }
  // Plays "Miss.caf".
  void click() override;
  const char* prize() const override { return "RedStar.png"; }
};

}  // namespace peckish
