#include "engine/TextureMgr.h"

#include "engine/DisplayMetrics.h"
#include "engine/Texture2D.h"
#include "platform/Image.h"
#include "platform/Paths.h"

namespace peckish {

namespace {

constexpr int kVariants[] = {4, 2, 1};  // finest first

bool variantExists(const std::string& name) {
  if (name.empty()) return false;
  if (name.front() == '/') return platform::fileExists(name);
  return !platform::pathForResource(name).empty();
}

// The picture for fileName at the variant that fits `wanted`, or a coarser one that exists; the
// plain file is always tried last (and logs why when it cannot be read).
platform::Image loadPicture(const std::string& fileName, int wanted, int& variant) {
  for (int v : kVariants) {
    if (v > wanted) continue;
    variant = v;
    if (v == 1) return platform::imageNamed(fileName);
    const std::string name = TextureMgr::variantName(fileName, v);
    if (!variantExists(name)) continue;
    platform::Image image = platform::imageNamed(name);
    if (!image.empty()) return image;
  }
  variant = 1;
  return {};
}

}  // namespace

TextureMgr::TextureMgr() { textures_.reserve(10); }

TextureMgr::~TextureMgr() = default;

int TextureMgr::variantFor(float contentScale) {
  if (!(contentScale > 1.f)) return 1;
  return contentScale > 2.f ? 4 : 2;
}

std::string TextureMgr::variantName(const std::string& fileName, int variant) {
  if (variant <= 1) return fileName;
  const std::string suffix = "@" + std::to_string(variant) + "x";
  const auto slash = fileName.find_last_of('/');
  const auto dot = fileName.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return fileName + suffix;
  return fileName.substr(0, dot) + suffix + fileName.substr(dot);
}

int TextureMgr::loadedVariant(const std::string& fileName) const {
  auto it = textures_.find(fileName);
  return it == textures_.end() ? 0 : it->second.variant;
}

Texture2D* TextureMgr::addImage(const std::string& fileName) {
  auto it = textures_.find(fileName);
  if (it != textures_.end()) return it->second.texture.get();
  int variant = 1;
  const platform::Image image = loadPicture(fileName, variantFor(currentContentScale()), variant);
  // logs "Image is Null" when empty
  Ref<Texture2D> texture = Texture2D::initWithImage(&image, float(variant));
  if (!texture) return nullptr;
  Texture2D* result = texture.get();
  textures_.emplace(fileName, Entry{std::move(texture), variant});
  return result;
}

void TextureMgr::contentScaleChanged(float contentScale) {
  const int wanted = variantFor(contentScale);
  for (auto& [fileName, entry] : textures_) {
    if (entry.variant == wanted) continue;
    int variant = 1;
    const platform::Image image = loadPicture(fileName, wanted, variant);
    if (variant == entry.variant) continue;  // that is the best there is
    std::optional<TextureData> data = Texture2D::imageData(image, float(variant));
    if (!data) continue;  // the file went away: keep what is loaded
    entry.texture->replaceContents(*data);
    entry.variant = variant;
  }
}

}  // namespace peckish
