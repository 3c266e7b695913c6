#include "engine/TextureMgr.h"

#include "engine/Texture2D.h"
#include "engine/TextureAtlas.h"
#include "platform/Image.h"

namespace peckish {

TextureMgr::TextureMgr() : atlas_(TextureAtlas::atlas()) { textures_.reserve(10); }

TextureMgr::~TextureMgr() = default;

Texture2D* TextureMgr::addImage(const std::string& fileName) { return load(fileName, true); }

Texture2D* TextureMgr::addImageUnpacked(const std::string& fileName) {
  return load(fileName, false);
}

Texture2D* TextureMgr::load(const std::string& fileName, bool packed) {
  auto& cache = packed ? textures_ : unpacked_;
  auto it = cache.find(fileName);
  if (it != cache.end()) return it->second.get();
  const platform::Image image = platform::imageNamed(fileName);
  Ref<Texture2D> texture;
  if (packed) texture = atlas_->add(image);
  if (!texture) texture = Texture2D::initWithImage(&image);  // logs "Image is Null" when empty
  if (!texture) return nullptr;
  Texture2D* result = texture.get();
  cache.emplace(fileName, std::move(texture));
  return result;
}

}  // namespace peckish
