#include "engine/render/Sprite.h"

#include "engine/render/Texture2D.h"
#include "engine/render/TextureMgr.h"

namespace peckish {

Animation::Animation(std::string name, float delay, const std::vector<std::string>& images)
    : name_(std::move(name)), delay_(delay) {
  frames_.reserve(images.size());
  for (const std::string& file : images) addFrame(file);
}

Animation::~Animation() = default;

Ref<Animation> Animation::animationWithName(std::string name, float delay,
                                            const std::vector<std::string>& images) {
  return make<Animation>(std::move(name), delay, images);
}

void Animation::addFrame(const std::string& fileName) {
  if (Texture2D* t = TextureMgr::sharedTextureMgr()->addImage(fileName)) frames_.emplace_back(t);
}

Sprite::Sprite(const std::string& fileName) {
  animations_.reserve(2);
  setTexture(TextureMgr::sharedTextureMgr()->addImage(fileName));
  if (texture_) {
    const CGSize s = texture_->contentSize();
    transformAnchor_ = Vec2(s.width / 2, s.height / 2);
  }
}

Sprite::~Sprite() = default;

void Sprite::addAnimation(Ref<Animation> animation) {
  if (!animation) return;
  for (auto& entry : animations_) {
    if (entry.first == animation->name()) {
      entry.second = std::move(animation);
      return;
    }
  }
  std::string key = animation->name();
  animations_.emplace_back(std::move(key), std::move(animation));
}

Animation* Sprite::animationByName(std::string_view name) const {
  for (const auto& entry : animations_)
    if (entry.first == name) return entry.second.get();
  return nullptr;
}

}  // namespace peckish
