#include "engine/render/TextureAtlas.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>

#include "engine/render/Texture2D.h"
#include "platform/GLES.h"
#include "platform/Image.h"

namespace peckish {

namespace {
constexpr unsigned kBorder = 1;  // transparent texels round every picture
}  // namespace

TextureAtlas::TextureAtlas() = default;

TextureAtlas::~TextureAtlas() = default;

Ref<TextureAtlas> TextureAtlas::atlas() { return make<TextureAtlas>(); }

Texture2D* TextureAtlas::page(size_t i) const {
  return i < pages_.size() ? pages_[i].texture.get() : nullptr;
}

unsigned TextureAtlas::pageSide() const {
  if (pageSide_ == 0) {
    GLint max = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &max);
    pageSide_ = max > 0 ? std::min(kPageSide, unsigned(max)) : kPageSide;
  }
  return pageSide_;
}

bool TextureAtlas::accepts(const platform::Image& image, float scale) const {
  if (image.empty() || !image.colorSpace || !image.hasAlpha()) return false;
  if (!(scale > 0.f) || !std::isfinite(scale)) return false;
  if (float(image.width) / scale > kMaxPictureSide || float(image.height) / scale > kMaxPictureSide)
    return false;
  const unsigned side = pageSide();
  return unsigned(image.width) + 2 * kBorder <= side && unsigned(image.height) + 2 * kBorder <= side;
}

bool TextureAtlas::place(Page& page, unsigned side, unsigned w, unsigned h, unsigned* x,
                         unsigned* y) {
  if (page.cursorX + w > side) {
    // Open the next shelf below the current one.
    page.shelfY += page.shelfHeight;
    page.shelfHeight = 0;
    page.cursorX = 0;
  }
  if (page.cursorX + w > side || page.shelfY + h > side) return false;
  *x = page.cursorX;
  *y = page.shelfY;
  page.cursorX += w;
  page.shelfHeight = std::max(page.shelfHeight, h);
  return true;
}

Ref<Texture2D> TextureAtlas::add(const platform::Image& image, float scale) {
  Placement p;
  if (!pack(image, scale, &p)) return nullptr;
  const CGSize points{float(p.width) / scale, float(p.height) / scale};
  return Texture2D::initWithAtlas(p.page, p.x, p.y, p.width, p.height, points);
}

bool TextureAtlas::pack(const platform::Image& image, float scale, Placement* where) {
  if (!accepts(image, scale)) return false;
  const std::optional<TextureData> d = Texture2D::imageData(image);
  if (!d || d->format != TexturePixelFormat::RGBA8888) return false;
  const unsigned w = unsigned(image.width), h = unsigned(image.height);
  const unsigned cw = w + 2 * kBorder, ch = h + 2 * kBorder;
  const unsigned side = pageSide();

  // The open shelf of the first page with room for the picture, else a new page.
  unsigned x = 0, y = 0;
  Page* target = nullptr;
  for (Page& p : pages_) {
    Page trial = p;
    if (place(trial, side, cw, ch, &x, &y)) {
      p = trial;
      target = &p;
      break;
    }
  }
  if (!target) {
    Page fresh;
    fresh.texture = make<Texture2D>(static_cast<const void*>(nullptr), TexturePixelFormat::RGBA8888, side, side,
                                    CGSize{float(side), float(side)});
    if (!place(fresh, side, cw, ch, &x, &y)) return false;
    pages_.push_back(std::move(fresh));
    target = &pages_.back();
  }

  // The picture with its transparent border, premultiplied like every RGBA8888 texture.
  cell_.assign(size_t(cw) * ch * 4, 0);
  const size_t rowBytes = size_t(w) * 4;
  for (unsigned row = 0; row < h; ++row) {
    std::memcpy(&cell_[(size_t(row + kBorder) * cw + kBorder) * 4],
                &d->pixels[size_t(row) * d->width * 4], rowBytes);
  }
  GLint saved = 0;
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &saved);
  glBindTexture(GL_TEXTURE_2D, target->texture->name());
  glTexSubImage2D(GL_TEXTURE_2D, 0, GLint(x), GLint(y), GLsizei(cw), GLsizei(ch), GL_RGBA,
                  GL_UNSIGNED_BYTE, cell_.data());
  glBindTexture(GL_TEXTURE_2D, GLuint(saved));

  *where = Placement{target->texture.get(), x + kBorder, y + kBorder, w, h};
  return true;
}

}  // namespace peckish
