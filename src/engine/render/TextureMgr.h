#pragma once
// TextureMgr: the process-wide cache that turns an image file name into one shared Texture2D.
// Entries are never evicted, so a texture from addImage stays valid for the rest of the process.
// Small pictures are packed into the cache's TextureAtlas, so that sprites showing different small
// pictures still share one GL texture and are drawn together; large ones (backgrounds) get
// textures of their own.
//
// Pictures come in variants for high-resolution displays: "Hero.png" (one pixel a point),
// "Hero@2x.png" and "Hero@4x.png". The cache loads the variant that best fits the Director's
// content scale (the smallest at least as fine, else the finest) and falls back to coarser ones
// down to the plain file when a variant is missing. Whatever the variant, a texture's size is in
// points, so positions, sizes and hit boxes do not depend on it.
#include <string>
#include <unordered_map>

#include "core/Object.h"
#include "core/Singleton.h"

namespace peckish {

class Texture2D;
class TextureAtlas;

class TextureMgr : public Object, public Singleton<TextureMgr> {
 public:
  static TextureMgr* sharedTextureMgr() { return shared(); }

  // The texture for a resource file name ("Hero.png"; an absolute path is used as given).
  // Decoded and uploaded on the first request, then returned from the cache. The cache keeps the
  // only lasting reference; the caller takes its own if it needs one. A file that is missing or
  // cannot be decoded logs "Image is Null", yields null and leaves nothing in the cache, so a
  // later request tries again.
  // A picture the atlas accepts (TextureAtlas::accepts) is packed into it: its texture is then
  // a rectangle of a shared GL texture (Texture2D::atlas()).
  Texture2D* addImage(const std::string& fileName);
  // The same picture in a GL texture of its own that starts at texture coordinate (0, 0), as
  // Texture2D::initWithImage makes it: for point sprites, which always show a whole texture.
  // Cached apart from addImage's textures.
  Texture2D* addImageUnpacked(const std::string& fileName);

  // Loads, in place, the variants that fit a new content scale into the cached textures (their
  // sizes in points stay). The packed pictures move together into a fresh atlas (so they still
  // share a texture, and the old pages are freed); the others keep their GL names. The Director
  // calls it when its content scale changes.
  void contentScaleChanged(float contentScale);

  // Number of cached textures (both kinds).
  size_t count() const { return textures_.size() + unpacked_.size(); }
  // The variant a cached texture was loaded from (1, 2 or 4); 0 when it is not cached.
  int loadedVariant(const std::string& fileName) const;

  // The atlas the small pictures are packed into.
  TextureAtlas* atlas() const { return atlas_.get(); }

  // The variant wanted for a content scale: 1, 2 or 4.
  static int variantFor(float contentScale);
  // "Hero.png" with variant 2 is "Hero@2x.png"; variant 1 is the name itself.
  static std::string variantName(const std::string& fileName, int variant);

 private:
  friend class Singleton<TextureMgr>;
  TextureMgr();
  ~TextureMgr() override;
  Texture2D* load(const std::string& fileName, bool packed);

  struct Entry {
    Ref<Texture2D> texture;
    int variant = 1;
  };
  using Cache = std::unordered_map<std::string, Entry>;
  // Loads the fitting variant into the entries that have GL textures of their own.
  void reload(Cache& cache, int wanted);

  Cache textures_;  // addImage: packed when the atlas takes the picture
  Cache unpacked_;  // addImageUnpacked
  Ref<TextureAtlas> atlas_;
};

}  // namespace peckish
