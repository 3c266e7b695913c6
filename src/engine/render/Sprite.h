#pragma once
// Sprite: a TextureNode whose picture is loaded by file name through the texture cache, anchored
// at the picture's centre, with a table of named Animations.
// Animation: a named, ordered list of textures (frames) shown `delay` seconds each; the Animate
// action swaps a sprite's texture through the frames (setTexture), and puts back the texture it
// found when it stops.
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/Object.h"
#include "engine/render/Texture2D.h"  // animations hold their frames as Ref<Texture2D>
#include "engine/render/TextureNode.h"

namespace peckish {


class Animation : public Object {
 public:
  // An animation with the cached textures of the given image files, in order (a file named twice
  // is present twice; frames are shared with every other user of the file). A file the cache
  // cannot load is left out (the cache logs "Image is Null"), so frames() holds only textures.
  Animation(std::string name, float delay, const std::vector<std::string>& images = {});
  ~Animation() override;

  static Ref<Animation> animationWithName(std::string name, float delay,
                                          const std::vector<std::string>& images = {});

  // Appends the cached texture of an image file (nothing when it cannot be loaded).
  void addFrame(const std::string& fileName);

  const std::string& name() const { return name_; }
  void setName(std::string name) { name_ = std::move(name); }
  float delay() const { return delay_; }
  void setDelay(float delay) { delay_ = delay; }
  // The frames in display order.
  const std::vector<Ref<Texture2D>>& frames() const { return frames_; }
  void setFrames(std::vector<Ref<Texture2D>> frames) { frames_ = std::move(frames); }

 private:
  std::string name_;
  float delay_;
  std::vector<Ref<Texture2D>> frames_;
};

class Sprite : public TextureNode {
 public:
  // The sprite of an image file: the texture comes from TextureMgr::addImage and the transform
  // anchor is half its content size. When the file cannot be loaded the sprite has no texture,
  // anchor (0, 0), and draws nothing.
  explicit Sprite(const std::string& fileName);
  ~Sprite() override;

  // make<T>(fileName) for Sprite or a subclass constructed from a file name:
  //   Sprite::spriteFromFile("Hero.png"), Sprite::spriteFromFile<SpriteZ>("Star.png").
  template <class T = Sprite>
  static Ref<T> spriteFromFile(const std::string& fileName) {
    return make<T>(fileName);
  }

  // Stores the animation under its name, replacing an animation of the same name.
  void addAnimation(Ref<Animation> animation);
  // The animation stored under a name, or null.
  Animation* animationByName(std::string_view name) const;
  const std::vector<std::pair<std::string, Ref<Animation>>>& animations() const {
    return animations_;
  }

 private:
  std::vector<std::pair<std::string, Ref<Animation>>> animations_;
};

}  // namespace peckish
