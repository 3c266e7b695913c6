#pragma once
// Layers: full-screen nodes that can receive input.
//
// Layer: a node whose transform anchor is the centre of the screen (position places its origin, so
// a layer at (0, 0) covers the screen and scales and rotates about its centre). While it is on
// stage (between onEnter and onExit) a touch-enabled layer is the Director's event handler and an
// accelerometer-enabled layer is the accelerometer's delegate. There is one handler for the whole
// Director: the touch-enabled layer that entered last receives the touches, and any touch-enabled
// layer that exits clears the handler, whether or not it was the current one.
//
//   class GameLayer : public Layer {
//    public:
//     GameLayer() { isTouchEnabled_ = true; }
//     void touchesBegan(const platform::TouchSet& t, const platform::UIEvent& e) override;
//   };
//
// ColorLayer: a layer that fills a rectangle with one colour (packed 0xRRGGBBAA) and can be faded
// (NodeOpacity). What is drawn changes through changeColor() or setOpacity(); setColor() only
// stores the value.
//
//   auto black = ColorLayer::layerWithColor(0x000000FF);            // covers the screen
//   auto bar = ColorLayer::layerWithColor(0xFF000080, 100, 20);     // 100 x 20, translucent red
//
// MultiplexLayer: holds several layers and shows exactly one of them (as its only child).
//
//   auto pages = MultiplexLayer::layerWithLayers(first, second, third);
//   pages->switchTo(2);   // "MultiplexLayerInvalidIndex" for an index past the end
#include <cstdint>
#include <initializer_list>
#include <utility>
#include <vector>

#include "engine/scene/Node.h"
#include "engine/scene/NodeOpacity.h"
#include "math/Color.h"
#include "platform/Touch.h"

namespace peckish {

// --- accelerometer ---------------------------------------------------------------------------
// A desktop has no motion sensor: the accelerometer only records its delegate (so layers can
// register and withdraw as they would on a phone). Tests and bots may deliver readings by hand.

struct Acceleration {
  double x = 0.0;
  double y = 0.0;
  double z = 0.0;
  double timestamp = 0.0;
};

class Accelerometer;

class AccelerometerDelegate {
 public:
  virtual ~AccelerometerDelegate() = default;
  // Default: does not answer (the reading is dropped).
  virtual void accelerometer(Accelerometer*, const Acceleration&) {}
};

class Accelerometer {
 public:
  static Accelerometer& sharedAccelerometer();
  AccelerometerDelegate* delegate() const { return delegate_; }
  void setDelegate(AccelerometerDelegate* delegate) { delegate_ = delegate; }
  // Hands a reading to the delegate, if any.
  void deliver(const Acceleration& reading);

 private:
  Accelerometer() = default;
  AccelerometerDelegate* delegate_ = nullptr;
};

// --- Layer -----------------------------------------------------------------------------------

class Layer : public Node, public platform::TouchHandler, public AccelerometerDelegate {
 public:
  // Anchor at half the Director's window size, origin placed by position, both inputs off.
  Layer();
  // Withdraws from the Director and the accelerometer if still registered there.
  ~Layer() override;

  static Ref<Layer> node();

  bool isTouchEnabled() const { return isTouchEnabled_; }
  void setIsTouchEnabled(bool on) { isTouchEnabled_ = on; }
  bool isAccelerometerEnabled() const { return isAccelerometerEnabled_; }
  void setIsAccelerometerEnabled(bool on) { isAccelerometerEnabled_ = on; }
  bool relativeTransformAnchor() const { return relativeTransformAnchor_; }

  // Node behaviour first, then register for touches / the accelerometer as enabled.
  void onEnter() override;
  // Withdraw (the handler / delegate become null) as enabled, then the Node behaviour.
  void onExit() override;

 protected:
  bool isTouchEnabled_ = false;
  bool isAccelerometerEnabled_ = false;
};

// --- ColorLayer ------------------------------------------------------------------------------

class ColorLayer : public Layer, public NodeOpacity {
 public:
  // There is no plain construction: a colour layer always has a colour.
  ColorLayer(PackedColor color, int width, int height);
  // Covers the Director's window size (truncated to whole points).
  explicit ColorLayer(PackedColor color);

  static Ref<ColorLayer> layerWithColor(PackedColor color, int width, int height);
  static Ref<ColorLayer> layerWithColor(PackedColor color);

  // Stores the colour and writes its bytes into all four corners of what is drawn.
  void changeColor(PackedColor color);
  // The rectangle: corners (0, 0), (w, 0), (0, h), (w, h) in the layer's own points.
  void initWidth(int width, int height);

  // The stored colour. setColor does not change what is drawn.
  PackedColor color() const { return color_; }
  void setColor(PackedColor color) { color_ = color; }

  // The alpha byte of color(); setOpacity replaces it through changeColor.
  uint8_t opacity() const override { return colorAlpha(color_); }
  void setOpacity(uint8_t opacity) override;

  // Triangle-strip order: x0, y0, x1, y1, ... / R, G, B, A per corner.
  const float* squareVertices() const { return squareVertices_; }
  const uint8_t* squareColors() const { return squareColors_; }

  // One coloured triangle strip in the layer's space; texturing untouched, blending as set up.
  void draw() override;

 private:
  PackedColor color_ = 0;
  float squareVertices_[8] = {};
  uint8_t squareColors_[16] = {};
};

// --- MultiplexLayer --------------------------------------------------------------------------

class MultiplexLayer : public Layer {
 public:
  // The layers in order; the list ends at its first null entry. Layer 0 is shown.
  explicit MultiplexLayer(std::initializer_list<Ref<Layer>> layers);
  explicit MultiplexLayer(const std::vector<Ref<Layer>>& layers);

  template <class... Rest>
  static Ref<MultiplexLayer> layerWithLayers(Ref<Layer> first, Rest&&... rest) {
    return make<MultiplexLayer>(std::initializer_list<Ref<Layer>>{std::move(first), Ref<Layer>(std::forward<Rest>(rest))...});
  }

  // Shows layer n instead of the current one. Raises "MultiplexLayerInvalidIndex" when n is not
  // less than the number of layers (the current layer stays shown).
  void switchTo(unsigned n);

  unsigned enabledLayer() const { return enabledLayer_; }
  const std::vector<Ref<Layer>>& layers() const { return layers_; }

 private:
  void addLayers(const Ref<Layer>* begin, const Ref<Layer>* end);

  unsigned enabledLayer_ = 0;
  std::vector<Ref<Layer>> layers_;
};

}  // namespace peckish
