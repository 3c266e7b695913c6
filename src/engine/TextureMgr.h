#pragma once
// TextureMgr: the process-wide cache that turns an image file name into one shared Texture2D.
// Entries are never evicted, so a texture from addImage stays valid for the rest of the process.
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

  // Number of cached textures.
  size_t count() const { return textures_.size(); }

 private:
  friend class Singleton<TextureMgr>;
  TextureMgr();
  ~TextureMgr() override;

  std::unordered_map<std::string, Ref<Texture2D>> textures_;
};

}  // namespace peckish
