#pragma once
// TextureMgr: the process-wide cache that turns an image file name into one shared Texture2D.
// Entries are never evicted, so a texture from addImage stays valid for the rest of the process.
// Small pictures are packed into the cache's TextureAtlas, so that sprites showing different small
// pictures still share one GL texture and are drawn together; large ones (backgrounds) get
// textures of their own.
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

  // The texture for a resource file name ("Rooster.png"; an absolute path is used as given).
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

  // Number of cached textures (both kinds).
  size_t count() const { return textures_.size() + unpacked_.size(); }

  // The atlas the small pictures are packed into.
  TextureAtlas* atlas() const { return atlas_.get(); }

 private:
  friend class Singleton<TextureMgr>;
  TextureMgr();
  ~TextureMgr() override;
  Texture2D* load(const std::string& fileName, bool packed);

  std::unordered_map<std::string, Ref<Texture2D>> textures_;
  std::unordered_map<std::string, Ref<Texture2D>> unpacked_;
  Ref<TextureAtlas> atlas_;
};

}  // namespace peckish
