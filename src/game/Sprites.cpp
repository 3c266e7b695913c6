#include "game/Sprites.h"

#include "audio/SoundEffectManager.h"
#include "engine/render/Texture2D.h"

namespace peckish {

TouchSprite::TouchSprite(const std::string& fileName) : Sprite(fileName) {}

bool TouchSprite::containsPoint(CGPoint p) const {
  const CGSize size = texture_ ? texture_->contentSize() : CGSize{};
  const float left = position_.x - transformAnchor_.x;
  const float bottom = position_.y - transformAnchor_.y;
  const float width = scale_ * size.width;
  const float height = scale_ * size.height;
  return !(p.x < left || p.x > left + width || p.y < bottom || p.y > bottom + height);
}

bool TouchSprite::isTouchInside(CGPoint p) {
  if (isTouched_ || !containsPoint(p)) return false;
  isTouched_ = true;
  return true;
}

void Button::click() {
  // The action may replace the whole scene; keep the button alive until it is done with itself.
  Ref<Button> self(this);
  if (action_) action_();
  isTouched_ = false;
}

CharacterSprite::CharacterSprite(const std::string& fileName) : TouchSprite(fileName) {
  scale_ = 0.1f;
  transformAnchor_.y = 0.f;
}

void Rooster::click() { SoundEffectManager::sharedManager()->playSound("Hit.caf"); }

void Girl::click() { SoundEffectManager::sharedManager()->playSound("Miss.caf"); }

}  // namespace peckish
