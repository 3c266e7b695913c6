#include "engine/render/Label.h"

#include "engine/render/DisplayMetrics.h"
#include "engine/render/Texture2D.h"

namespace peckish {

Label::Label(const std::string& string, CGSize dimensions, int alignment, const std::string& fontName, float fontSize)
    : dimensions_(dimensions), alignment_(alignment), fontName_(fontName), fontSize_(fontSize) {
  setString(string);
}

Label::~Label() = default;

Ref<Label> Label::labelWithString(const std::string& string, CGSize dimensions, int alignment,
                                  const std::string& fontName, float fontSize) {
  return make<Label>(string, dimensions, alignment, fontName, fontSize);
}

void Label::setString(const std::string& string) {
  setTexture(nullptr);
  string_ = string;
  textScale_ = currentContentScale();
  Ref<Texture2D> texture = Texture2D::initWithString(string, dimensions_, alignment_, fontName_, fontSize_);
  setTexture(texture.get());
  const CGSize s = texture ? texture->contentSize() : CGSize{};
  transformAnchor_ = Vec2(s.width / 2, s.height / 2);
}

void Label::draw() {
  if (textScale_ != currentContentScale()) {
    const std::string text = string_;
    setString(text);
  }
  TextureNode::draw();
}

}  // namespace peckish
