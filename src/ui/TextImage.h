#pragma once
// A line or paragraph of text rendered once into a texture and drawn until the text changes.
#include <string>

#include "core/Object.h"
#include "math/Vec2.h"

namespace peckish {
class Texture2D;
}

namespace peckish::ui {

class TextImage {
 public:
  TextImage();
  ~TextImage();
  TextImage(const TextImage&) = delete;
  TextImage& operator=(const TextImage&) = delete;

  // The text with its font, laid out for a box of maxWidth points (wrapping at spaces; 0: one
  // line per '\n', no wrapping) and aligned in it (0 left, 1 centred, 2 right).
  void set(const std::string& text, const std::string& font, float size, float maxWidth, int alignment);
  const std::string& text() const { return text_; }
  // The size the text takes (measured, without drawing).
  CGSize size() const { return size_; }

  // Draws the text with its top-left corner at the point, in the colour given.
  void drawAt(CGPoint topLeft, float r, float g, float b, float a);
  // Draws it centred in the rectangle.
  void drawCentred(CGRect rect, float r, float g, float b, float a);

 private:
  std::string text_, font_;
  float fontSize_ = 0.f, maxWidth_ = 0.f;
  int alignment_ = 0;
  CGSize size_{};
  Ref<Texture2D> texture_;
  bool dirty_ = true;
};

}  // namespace peckish::ui
