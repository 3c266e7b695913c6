#pragma once
// TextureNode: a node that shows one Texture2D, tinted by an RGB colour and an opacity.
// The picture's lower-left corner sits at the node's local origin and it covers its content size
// in points. With the GL's default (modulate) texture environment the tint multiplies the
// texture's colour and the opacity its alpha; for alpha-only textures (text) the colour is the
// tint itself. Blending is whatever the display set up.
#include <cstdint>

#include "engine/scene/Node.h"
#include "engine/scene/NodeOpacity.h"

namespace peckish {

class Texture2D;

class TextureNode : public Node, public NodeOpacity {
 public:
  // No texture, no tint: r, g, b and opacity all 255.
  TextureNode();
  ~TextureNode() override;

  static Ref<TextureNode> node();

  // The texture to draw. The node holds a reference to the texture it shows: installing one takes
  // a reference to the new texture and drops the one to the old. Null draws nothing.
  Texture2D* texture() const { return texture_.get(); }
  virtual void setTexture(Texture2D* texture);

  uint8_t opacity() const override { return opacity_; }
  void setOpacity(uint8_t opacity) override { opacity_ = opacity; }
  uint8_t r() const { return r_; }
  uint8_t g() const { return g_; }
  uint8_t b() const { return b_; }
  void setR(uint8_t r) { r_ = r; }
  void setG(uint8_t g) { g_ = g; }
  void setB(uint8_t b) { b_ = b; }
  // All three colour components at once; opacity unchanged.
  void setRGB(uint8_t r, uint8_t g, uint8_t b) {
    r_ = r;
    g_ = g;
    b_ = b;
  }

  // Draws the texture at (0, 0) in the colour (r, g, b, opacity). During a visit of the node tree
  // the quad joins the QuadBatch (drawn with its neighbours of the same GL texture); otherwise it
  // is drawn at once: the vertex and texture-coordinate arrays and 2-D texturing are enabled, the
  // texture drawn, the colour reset to white and the three disabled again.
  void draw() override;

 protected:
  Ref<Texture2D> texture_;
  uint8_t opacity_ = 255;
  uint8_t r_ = 255;
  uint8_t g_ = 255;
  uint8_t b_ = 255;
};

}  // namespace peckish
