#include "engine/render/TextureNode.h"

#include "engine/render/QuadBatch.h"
#include "engine/render/Texture2D.h"
#include "platform/GLES.h"

namespace peckish {

TextureNode::TextureNode() = default;

TextureNode::~TextureNode() = default;

Ref<TextureNode> TextureNode::node() { return make<TextureNode>(); }

void TextureNode::setTexture(Texture2D* texture) { texture_.reset(texture); }

void TextureNode::draw() {
  if (!texture_) return;
  if (QuadBatch::accepting()) {
    QuadBatch::add(*texture_, r_, g_, b_, opacity_);
    return;
  }
  glEnableClientState(GL_VERTEX_ARRAY);
  glEnableClientState(GL_TEXTURE_COORD_ARRAY);
  glEnable(GL_TEXTURE_2D);
  glColor4ub(r_, g_, b_, opacity_);
  texture_->drawAtPoint(CGPoint{0.f, 0.f});
  glColor4ub(255, 255, 255, 255);
  glDisable(GL_TEXTURE_2D);
  glDisableClientState(GL_VERTEX_ARRAY);
  glDisableClientState(GL_TEXTURE_COORD_ARRAY);
}

}  // namespace peckish
