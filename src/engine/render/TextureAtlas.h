#pragma once
// TextureAtlas: packs small pictures into a few shared GL textures (pages), so that the sprites
// showing them share one texture and are drawn together (QuadBatch).
//
// Each picture gets its own Texture2D describing its rectangle of a page (Texture2D::atlas() is
// the page); its content size is its size in pixels divided by the picture's scale (pixels per
// point), so a picture made for any display density keeps its size in points. Every picture is
// surrounded by a one-texel transparent border, so linear filtering at its edges never reaches a
// neighbour. Pages are filled shelf by shelf, left to right, and never shrink: pictures stay for
// the life of the atlas (the texture cache keeps it for the life of the process).
#include <cstddef>
#include <vector>

#include "core/Object.h"

namespace peckish {

namespace platform {
struct Image;
}

class Texture2D;

class TextureAtlas : public Object {
 public:
  // The pictures that go into the atlas: at most this many points a side (characters, stars,
  // buttons). Larger ones (backgrounds) keep textures of their own.
  static constexpr float kMaxPictureSide = 128.f;
  // The side of a page in pixels, unless the GL allows less.
  static constexpr unsigned kPageSide = 1024;

  TextureAtlas();
  ~TextureAtlas() override;

  static Ref<TextureAtlas> atlas();

  // Whether add() would take the picture: one with an alpha channel (RGBA8888), no larger than
  // kMaxPictureSide points a side at `scale`, and small enough for a page with its border.
  bool accepts(const platform::Image& image, float scale = 1.f) const;
  // The picture packed into a page (a new page when it fits in none), or null when the atlas does
  // not accept it.
  Ref<Texture2D> add(const platform::Image& image, float scale = 1.f);

  // Where pack() put a picture: its rectangle of a page, in pixels from the top-left texel.
  struct Placement {
    Texture2D* page = nullptr;
    unsigned x = 0, y = 0, width = 0, height = 0;
  };
  // Packs the picture like add() and tells where, for a texture that moves there
  // (Texture2D::moveToAtlas); false when the atlas does not accept it.
  bool pack(const platform::Image& image, float scale, Placement* where);

  size_t pageCount() const { return pages_.size(); }
  Texture2D* page(size_t i) const;

 private:
  struct Page {
    Ref<Texture2D> texture;
    unsigned shelfY = 0;       // top of the open shelf
    unsigned shelfHeight = 0;  // its height so far
    unsigned cursorX = 0;      // where the next picture of the open shelf goes
  };
  unsigned pageSide() const;
  // Reserves a w x h cell (border included) in the page; false when it does not fit.
  static bool place(Page& page, unsigned side, unsigned w, unsigned h, unsigned* x, unsigned* y);

  std::vector<Page> pages_;
  mutable unsigned pageSide_ = 0;
  std::vector<unsigned char> cell_;  // scratch for one bordered picture
};

}  // namespace peckish
