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
  size_ = CGSizeMake(std::ceil(maxWidth > 0.f ? std::max(maxWidth, m.width) : m.width) + 2.f, std::ceil(m.height) + 2.f);
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
