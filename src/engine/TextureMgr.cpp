#include "engine/TextureMgr.h"

#include "engine/Texture2D.h"
#include "platform/Image.h"

namespace peckish {

TextureMgr::TextureMgr() { textures_.reserve(10); }

TextureMgr::~TextureMgr() = default;

Texture2D* TextureMgr::addImage(const std::string& fileName) {
  auto it = textures_.find(fileName);
  if (it != textures_.end()) return it->second.get();
  const platform::Image image = platform::imageNamed(fileName);
  Ref<Texture2D> texture = Texture2D::initWithImage(&image);  // logs "Image is Null" when empty
  if (!texture) return nullptr;
  Texture2D* result = texture.get();
  textures_.emplace(fileName, std::move(texture));
  return result;
}

}  // namespace peckish
