#include "engine/scene/Layer.h"

#include "core/Exception.h"
#include "engine/scene/Director.h"
#include "engine/render/DisplayMetrics.h"
#include "engine/render/QuadBatch.h"
#include "platform/GLES.h"

namespace peckish {

namespace {

// The Director when it exists; a layer entering a tree with no Director has nobody to register
// with, and must not bring up a drawing surface just for that.
Director* existingDirector() { return Director::exists() ? Director::sharedDirector() : nullptr; }

}  // namespace

// --- Accelerometer -----------------------------------------------------------------------------

Accelerometer& Accelerometer::sharedAccelerometer() {
  static Accelerometer instance;
  return instance;
}

void Accelerometer::deliver(const Acceleration& reading) {
  if (delegate_) delegate_->accelerometer(this, reading);
}

// --- Layer -------------------------------------------------------------------------------------

Layer::Layer() {
  relativeTransformAnchor_ = false;
  const CGRect s = currentWinSize();
  transformAnchor_ = Vec2(s.size.width / 2, s.size.height / 2);
}

Layer::~Layer() {
  // A layer dropped while still registered must not be called afterwards.
  if (Director* d = existingDirector(); d && d->eventHandler() == this) d->setEventHandler(nullptr);
  Accelerometer& a = Accelerometer::sharedAccelerometer();
  if (a.delegate() == this) a.setDelegate(nullptr);
}

Ref<Layer> Layer::node() { return make<Layer>(); }

void Layer::onEnter() {
  Node::onEnter();
  if (isTouchEnabled_) {
    if (Director* d = existingDirector()) d->setEventHandler(this);
  }
  if (isAccelerometerEnabled_) Accelerometer::sharedAccelerometer().setDelegate(this);
}

void Layer::onExit() {
  if (isTouchEnabled_) {
    if (Director* d = existingDirector()) d->setEventHandler(nullptr);
  }
  if (isAccelerometerEnabled_) Accelerometer::sharedAccelerometer().setDelegate(nullptr);
  Node::onExit();
}

// --- ColorLayer --------------------------------------------------------------------------------

ColorLayer::ColorLayer(PackedColor color, int width, int height) {
  changeColor(color);
  initWidth(width, height);
}

ColorLayer::ColorLayer(PackedColor color)
    : ColorLayer(color, static_cast<int>(currentWinSize().size.width), static_cast<int>(currentWinSize().size.height)) {}

Ref<ColorLayer> ColorLayer::layerWithColor(PackedColor color, int width, int height) {
  return make<ColorLayer>(color, width, height);
}

Ref<ColorLayer> ColorLayer::layerWithColor(PackedColor color) { return make<ColorLayer>(color); }

void ColorLayer::changeColor(PackedColor color) {
  color_ = color;
  for (int i = 0; i < 4; ++i) {
    squareColors_[i * 4 + 0] = colorRed(color);
    squareColors_[i * 4 + 1] = colorGreen(color);
    squareColors_[i * 4 + 2] = colorBlue(color);
    squareColors_[i * 4 + 3] = colorAlpha(color);
  }
}

void ColorLayer::initWidth(int width, int height) {
  const float w = static_cast<float>(width);
  const float h = static_cast<float>(height);
  const float v[8] = {0.f, 0.f, w, 0.f, 0.f, h, w, h};
  for (int i = 0; i < 8; ++i) squareVertices_[i] = v[i];
}

void ColorLayer::setOpacity(uint8_t opacity) { changeColor((color_ & 0xFFFFFF00u) | opacity); }

void ColorLayer::draw() {
  QuadBatch::flush();
  glVertexPointer(2, GL_FLOAT, 0, squareVertices_);
  glEnableClientState(GL_VERTEX_ARRAY);
  glColorPointer(4, GL_UNSIGNED_BYTE, 0, squareColors_);
  glEnableClientState(GL_COLOR_ARRAY);
  glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
  glDisableClientState(GL_VERTEX_ARRAY);
  glDisableClientState(GL_COLOR_ARRAY);
}

// --- MultiplexLayer ----------------------------------------------------------------------------

MultiplexLayer::MultiplexLayer(std::initializer_list<Ref<Layer>> layers) { addLayers(layers.begin(), layers.end()); }

MultiplexLayer::MultiplexLayer(const std::vector<Ref<Layer>>& layers) {
  addLayers(layers.data(), layers.data() + layers.size());
}

void MultiplexLayer::addLayers(const Ref<Layer>* begin, const Ref<Layer>* end) {
  for (const Ref<Layer>* p = begin; p != end && *p; ++p) layers_.push_back(*p);
  enabledLayer_ = 0;
  // With no layer at all there is nothing to show (and every switchTo fails).
  if (!layers_.empty()) add(layers_[0]);
}

void MultiplexLayer::switchTo(unsigned n) {
  if (n >= layers_.size()) raise("MultiplexLayerInvalidIndex", "Invalid index in MultiplexLayer switchTo message");
  remove(layers_[enabledLayer_].get());
  enabledLayer_ = n;
  add(layers_[n]);
}

}  // namespace peckish
