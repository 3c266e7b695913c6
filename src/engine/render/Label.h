#pragma once
// Label: a textured node showing one string rendered into a texture with a fixed box size,
// alignment (0 left, 1 centred, 2 right), font name and font size. The label is centred on its
// position (its transform anchor is half the box). Changing the string renders a new texture.
//
//   auto score = Label::labelWithString("0", CGSizeMake(120, 30), 1, "Marker Felt", 24);
//   score->setString("125");
//   score->setRGB(255, 255, 0);   // text colour (TextureNode tint)
//
// The text is rasterised at the Director's content scale (the box and font size stay in points);
// after a change of scale the label renders its text again when it is next drawn.
#include <string>

#include "engine/render/TextureNode.h"
#include "math/Vec2.h"

namespace peckish {

class Label : public TextureNode {
 public:
  // There is no plain construction: a label always has its text settings.
  Label(const std::string& string, CGSize dimensions, int alignment, const std::string& fontName, float fontSize);
  ~Label() override;

  static Ref<Label> labelWithString(const std::string& string, CGSize dimensions, int alignment,
                                    const std::string& fontName, float fontSize);

  // Drops the current texture, renders the string with the stored settings into a new one and
  // moves the transform anchor to the centre of the new texture.
  void setString(const std::string& string);
  const std::string& string() const { return string_; }

  // Renders the text again first if the content scale changed since it was rendered.
  void draw() override;

  CGSize dimensions() const { return dimensions_; }
  int alignment() const { return alignment_; }
  const std::string& fontName() const { return fontName_; }
  float fontSize() const { return fontSize_; }

 private:
  CGSize dimensions_;
  int alignment_;
  std::string fontName_;
  float fontSize_;
  std::string string_;
  float textScale_ = 1.f;  // content scale the texture was rendered at
};

}  // namespace peckish
