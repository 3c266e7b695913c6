#include "engine/render/TextureMgr.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "engine/render/DisplayMetrics.h"
#include "engine/render/Texture2D.h"
#include "engine/render/TextureAtlas.h"
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

TextureMgr::TextureMgr() : atlas_(TextureAtlas::atlas()) { textures_.reserve(10); }

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

Texture2D* TextureMgr::addImage(const std::string& fileName) { return load(fileName, true); }

Texture2D* TextureMgr::addImageUnpacked(const std::string& fileName) {
  return load(fileName, false);
}

Texture2D* TextureMgr::load(const std::string& fileName, bool packed) {
  Cache& cache = packed ? textures_ : unpacked_;
  auto it = cache.find(fileName);
  if (it != cache.end()) return it->second.texture.get();
  int variant = 1;
  const platform::Image image = loadPicture(fileName, variantFor(currentContentScale()), variant);
  Ref<Texture2D> texture;
  if (packed) texture = atlas_->add(image, float(variant));
  // logs "Image is Null" when empty
  if (!texture) texture = Texture2D::initWithImage(&image, float(variant));
  if (!texture) return nullptr;
  Texture2D* result = texture.get();
  cache.emplace(fileName, Entry{std::move(texture), variant});
  return result;
}

void TextureMgr::contentScaleChanged(float contentScale) {
  const int wanted = variantFor(contentScale);
  // The packed pictures go together into a fresh atlas, tallest first, so that they keep sharing
  // one texture; the old pages go when their last picture has moved.
  struct Packed {
    Entry* entry;
    int variant;
    platform::Image image;
  };
  std::vector<Packed> packed;
  bool changed = false;
  for (auto& [fileName, entry] : textures_) {
    if (!entry.texture->atlas()) continue;
    int variant = 1;
    platform::Image image = loadPicture(fileName, wanted, variant);
    if (image.empty()) continue;  // the file went away: keep what is loaded
    changed = changed || variant != entry.variant;
    packed.push_back(Packed{&entry, variant, std::move(image)});
  }
  if (changed) {
    std::stable_sort(packed.begin(), packed.end(),
                     [](const Packed& a, const Packed& b) { return a.image.height > b.image.height; });
    atlas_ = TextureAtlas::atlas();
    for (Packed& p : packed) {
      TextureAtlas::Placement place;
      if (atlas_->pack(p.image, float(p.variant), &place)) {
        p.entry->texture->moveToAtlas(place.page, place.x, place.y, place.width, place.height);
      } else if (std::optional<TextureData> data = Texture2D::imageData(p.image, float(p.variant))) {
        p.entry->texture->replaceContents(*data);  // too large for a page now: on its own
      } else {
        continue;
      }
      p.entry->variant = p.variant;
    }
  }
  reload(textures_, wanted);
  reload(unpacked_, wanted);
}

void TextureMgr::reload(Cache& cache, int wanted) {
  for (auto& [fileName, entry] : cache) {
    if (entry.variant == wanted || entry.texture->atlas()) continue;
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
