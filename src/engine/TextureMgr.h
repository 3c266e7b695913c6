#pragma once
// TextureMgr: the process-wide cache that turns an image file name into one shared Texture2D.
// Entries are never evicted, so a texture from addImage stays valid for the rest of the process.
//
// Pictures come in variants for high-resolution displays: "Rooster.png" (one pixel a point),
// "Rooster@2x.png" and "Rooster@4x.png". The cache loads the variant that best fits the Director's
// content scale (the smallest at least as fine, else the finest) and falls back to coarser ones
// down to the plain file when a variant is missing. Whatever the variant, a texture's size is in
// points, so positions, sizes and hit boxes do not depend on it.
#include <string>
#include <unordered_map>

#include "core/Object.h"
#include "core/Singleton.h"

namespace peckish {

class Texture2D;

class TextureMgr : public Object, public Singleton<TextureMgr> {
 public:
  static TextureMgr* sharedTextureMgr() { return shared(); }

  // The texture for a resource file name ("Rooster.png"; an absolute path is used as given).
  // Decoded and uploaded on the first request, then returned from the cache. The cache keeps the
  // only lasting reference; the caller takes its own if it needs one. A file that is missing or
  // cannot be decoded logs "Image is Null", yields null and leaves nothing in the cache, so a
  // later request tries again.
  Texture2D* addImage(const std::string& fileName);

  // Loads, in place, the variants that fit a new content scale into the cached textures (their
  // GL names and sizes in points stay). The Director calls it when its content scale changes.
  void contentScaleChanged(float contentScale);

  // Number of cached textures.
  size_t count() const { return textures_.size(); }
  // The variant a cached texture was loaded from (1, 2 or 4); 0 when it is not cached.
  int loadedVariant(const std::string& fileName) const;

  // The variant wanted for a content scale: 1, 2 or 4.
  static int variantFor(float contentScale);
  // "Rooster.png" with variant 2 is "Rooster@2x.png"; variant 1 is the name itself.
  static std::string variantName(const std::string& fileName, int variant);

 private:
  friend class Singleton<TextureMgr>;
  TextureMgr();
  ~TextureMgr() override;

  struct Entry {
    Ref<Texture2D> texture;
    int variant = 1;
  };
  std::unordered_map<std::string, Entry> textures_;
};

}  // namespace peckish
