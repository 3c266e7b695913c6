#include "ui/TextImage.h"

#include <algorithm>
#include <cmath>

#include "engine/render/DisplayMetrics.h"
#include "engine/render/Texture2D.h"
#include "platform/GLES.h"
#include "platform/TextRaster.h"

namespace peckish::ui {

TextImage::TextImage() = default;
TextImage::~TextImage() = default;

void TextImage::set(const std::string& text, const std::string& font, float size, float maxWidth, int alignment) {
  if (!dirty_ && text == text_ && font == font_ && size == fontSize_ && maxWidth == maxWidth_ && alignment == alignment_) return;
  text_ = text;
  font_ = font;
  fontSize_ = size;
  maxWidth_ = maxWidth;
  alignment_ = alignment;
  const CGSize m = platform::measureString(text, font, size, maxWidth);
  const float width = std::ceil(maxWidth > 0.f ? std::max(maxWidth, m.width) : m.width) + 2.f;
  // The texture is rasterised at the content scale, where hinted glyphs and lines differ a little
  // from their size at one pixel a point: a paragraph may wrap into one more line there. The box is
  // made tall enough for that layout too, or its last line would be cut off.
  float height = m.height;
  if (const float scale = currentContentScale(); scale > 1.f) {
    const CGSize at = platform::measureString(text, font, size * scale, maxWidth > 0.f ? width * scale : 0.f);
    height = std::max(height, at.height / scale);
  }
  size_ = CGSizeMake(width, std::ceil(height) + 2.f);
  texture_ = nullptr;
  dirty_ = false;
}

void TextImage::drawAt(CGPoint topLeft, float r, float g, float b, float a) {
  if (text_.empty()) return;
  // Text is rasterised at the content scale of the moment; a new scale renders it again.
  if (texture_ && texture_->contentScale() != currentContentScale()) texture_ = nullptr;
  if (!texture_) texture_ = Texture2D::initWithString(text_, size_, alignment_, font_, fontSize_);
  if (!texture_) return;
  glEnable(GL_TEXTURE_2D);
  glEnableClientState(GL_TEXTURE_COORD_ARRAY);
  glColor4f(r, g, b, a);
  texture_->drawAtPoint(CGPointMake(std::round(topLeft.x), std::round(topLeft.y - size_.height)));
  glDisableClientState(GL_TEXTURE_COORD_ARRAY);
  glDisable(GL_TEXTURE_2D);
}

void TextImage::drawCentred(CGRect rect, float r, float g, float b, float a) {
  drawAt(CGPointMake(rect.origin.x + (rect.size.width - size_.width) / 2.f,
                     rect.origin.y + (rect.size.height + size_.height) / 2.f),
         r, g, b, a);
}

}  // namespace peckish::ui
