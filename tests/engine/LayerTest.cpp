#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "StageTestSupport.h"
#include "engine/scene/Layer.h"
#include "engine/actions/PropertyActions.h"

using namespace peckish;
using namespace peckish::test;

namespace {

class LayerTest : public StageTest {};

// A layer that counts the touches and accelerometer readings it is given.
class InputLayer : public Layer {
 public:
  InputLayer(bool touch, bool accel) {
    isTouchEnabled_ = touch;
    isAccelerometerEnabled_ = accel;
  }
  void touchesBegan(const platform::TouchSet&, const platform::UIEvent&) override { ++touches; }
  void accelerometer(Accelerometer*, const Acceleration& a) override { lastX = a.x; }
  int touches = 0;
  double lastX = 0;
};

std::vector<int> colorBytes(const ColorLayer& l) { return {l.squareColors(), l.squareColors() + 16}; }
std::vector<float> corners(const ColorLayer& l) { return {l.squareVertices(), l.squareVertices() + 8}; }

TEST_F(LayerTest, NewLayerCoversTheLandscapeScreenWithInputsOff) {
  Ref<Layer> layer = Layer::node();
  EXPECT_EQ(layer->transformAnchor(), Vec2(240, 160));
  EXPECT_FALSE(layer->relativeTransformAnchor());
  EXPECT_FALSE(layer->isTouchEnabled());
  EXPECT_FALSE(layer->isAccelerometerEnabled());
}

TEST_F(LayerTest, TouchLayersRegisterOnEnterAndAnyExitClearsTheHandler) {
  Ref<Scene> scene = Scene::node();
  Ref<InputLayer> first = make<InputLayer>(true, false);
  Ref<InputLayer> second = make<InputLayer>(true, false);
  Ref<InputLayer> deaf = make<InputLayer>(false, false);
  scene->add(first);
  run(scene);
  EXPECT_EQ(director->eventHandler(), first.get());
  began(10, 10);
  EXPECT_EQ(first->touches, 1);

  scene->add(second);  // entered last: receives the touches
  scene->add(deaf);    // not touch-enabled: changes nothing
  EXPECT_EQ(director->eventHandler(), second.get());
  began(10, 10);
  EXPECT_EQ(second->touches, 1);
  EXPECT_EQ(first->touches, 1);

  scene->remove(first.get());  // not the current handler, clears it all the same
  EXPECT_EQ(director->eventHandler(), nullptr);
  began(10, 10);
  EXPECT_EQ(second->touches, 1);

  scene->add(first);
  scene->remove(deaf.get());
  EXPECT_EQ(director->eventHandler(), first.get());
}

TEST_F(LayerTest, SceneSwitchLeavesTheNewScenesLayerAsHandler) {
  Ref<Scene> a = Scene::node();
  Ref<InputLayer> la = make<InputLayer>(true, false);
  a->add(la);
  run(a);
  Ref<Scene> b = Scene::node();
  Ref<InputLayer> lb = make<InputLayer>(true, false);
  b->add(lb);
  run(b);  // a's layer clears before b's layer registers
  EXPECT_EQ(director->eventHandler(), lb.get());
}

TEST_F(LayerTest, ADroppedLayerIsNoLongerCalled) {
  Ref<InputLayer> layer = make<InputLayer>(true, true);
  layer->onEnter();  // on stage without a parent (as a layer whose scene is torn down)
  ASSERT_EQ(director->eventHandler(), layer.get());
  ASSERT_EQ(Accelerometer::sharedAccelerometer().delegate(), layer.get());
  layer = nullptr;
  EXPECT_EQ(director->eventHandler(), nullptr);
  EXPECT_EQ(Accelerometer::sharedAccelerometer().delegate(), nullptr);
  began(10, 10);  // dropped quietly
}

TEST_F(LayerTest, AccelerometerDelegateOnlyWhileOnStage) {
  Ref<Scene> scene = Scene::node();
  Ref<InputLayer> layer = make<InputLayer>(false, true);
  scene->add(layer);
  Accelerometer& acc = Accelerometer::sharedAccelerometer();
  EXPECT_EQ(acc.delegate(), nullptr);
  run(scene);
  EXPECT_EQ(acc.delegate(), layer.get());
  EXPECT_EQ(director->eventHandler(), nullptr);
  acc.deliver({0.25, 0, -1, 0});
  EXPECT_EQ(layer->lastX, 0.25);
  scene->remove(layer.get());
  EXPECT_EQ(acc.delegate(), nullptr);
  acc.deliver({0.5, 0, -1, 0});
  EXPECT_EQ(layer->lastX, 0.25);
}

TEST_F(LayerTest, ChangeColorOpacityAndSetColor) {
  Ref<ColorLayer> layer = ColorLayer::layerWithColor(0x000000FF, 10, 10);
  layer->changeColor(packColor(255, 0, 0, 128));
  EXPECT_EQ(colorBytes(*layer), (std::vector<int>{255, 0, 0, 128, 255, 0, 0, 128, 255, 0, 0, 128, 255, 0, 0, 128}));
  EXPECT_EQ(layer->opacity(), 128);
  layer->setOpacity(255);
  EXPECT_EQ(layer->color(), 0xFF0000FFu);
  EXPECT_EQ(colorBytes(*layer)[3], 255);

  layer->setColor(0x00FF00FF);  // stored only
  EXPECT_EQ(layer->color(), 0x00FF00FFu);
  EXPECT_EQ(colorBytes(*layer)[0], 255);
  EXPECT_EQ(colorBytes(*layer)[1], 0);
  layer->setOpacity(10);  // draws the stored colour from now on
  EXPECT_EQ(layer->color(), 0x00FF000Au);
  EXPECT_EQ(colorBytes(*layer), (std::vector<int>{0, 255, 0, 10, 0, 255, 0, 10, 0, 255, 0, 10, 0, 255, 0, 10}));
}

TEST_F(LayerTest, ColorLayerGeometry) {
  EXPECT_EQ(corners(*ColorLayer::layerWithColor(0)), (std::vector<float>{0, 0, 480, 0, 0, 320, 480, 320}));
  EXPECT_EQ(corners(*ColorLayer::layerWithColor(0, 100, 20)), (std::vector<float>{0, 0, 100, 0, 0, 20, 100, 20}));
  Ref<ColorLayer> layer = ColorLayer::layerWithColor(0, 1, 1);
  layer->initWidth(7, 9);
  EXPECT_EQ(corners(*layer), (std::vector<float>{0, 0, 7, 0, 0, 9, 7, 9}));
}

TEST_F(LayerTest, ColorLayerDrawsItsRectangleBlended) {
  Ref<Scene> scene = Scene::node();
  scene->add(ColorLayer::layerWithColor(0x0000FFFF));  // opaque blue screen
  Ref<ColorLayer> box = ColorLayer::layerWithColor(0xFF000080, 100, 50);
  box->setPosition(Vec2(20, 30));
  scene->add(box);
  run(scene);
  frame(0);
  EXPECT_EQ(scenePixel(300, 200), 0x0000FF00u);
  const std::uint32_t mixed = scenePixel(60, 50);  // half red over blue
  EXPECT_NEAR(int(mixed >> 24), 128, 2);
  EXPECT_EQ((mixed >> 16) & 0xFF, 0u);
  EXPECT_NEAR(int((mixed >> 8) & 0xFF), 127, 2);
  EXPECT_EQ(scenePixel(130, 50), 0x0000FF00u);  // past the right edge (20 + 100)

  box->setColor(0x00FF00FF);  // no change on screen
  frame(0);
  EXPECT_NEAR(int(scenePixel(60, 50) >> 24), 128, 2);
  box->setOpacity(255);
  frame(0);
  EXPECT_EQ(scenePixel(60, 50), 0x00FF0000u);
}

TEST_F(LayerTest, FadeActionsDriveAColorLayer) {
  Ref<Scene> scene = Scene::node();
  Ref<ColorLayer> layer = ColorLayer::layerWithColor(0xFFFFFF00);
  scene->add(layer);
  run(scene);
  layer->do_(FadeIn::actionWithDuration(1.0));
  frame(0.5);
  EXPECT_EQ(layer->opacity(), 127);
  EXPECT_EQ(layer->color(), 0xFFFFFF7Fu);
  EXPECT_EQ(colorBytes(*layer)[15], 127);
  settle();
  EXPECT_EQ(layer->color(), 0xFFFFFFFFu);
}

TEST_F(LayerTest, MultiplexShowsExactlyOneLayer) {
  Ref<InputLayer> l0 = make<InputLayer>(true, false);
  Ref<InputLayer> l1 = make<InputLayer>(true, false);
  Ref<InputLayer> l2 = make<InputLayer>(true, false);
  Ref<MultiplexLayer> multi = MultiplexLayer::layerWithLayers(l0, l1, l2);
  ASSERT_EQ(multi->layers().size(), 3u);
  ASSERT_EQ(multi->children().size(), 1u);
  EXPECT_EQ(multi->children()[0].node.get(), l0.get());

  Ref<Scene> scene = Scene::node();
  scene->add(multi);
  run(scene);
  EXPECT_EQ(director->eventHandler(), l0.get());

  multi->switchTo(2);
  ASSERT_EQ(multi->children().size(), 1u);
  EXPECT_EQ(multi->children()[0].node.get(), l2.get());
  EXPECT_EQ(multi->enabledLayer(), 2u);
  EXPECT_FALSE(l0->isRunning());
  EXPECT_TRUE(l2->isRunning());
  EXPECT_EQ(director->eventHandler(), l2.get());
  EXPECT_FALSE(l1->isRunning());

  expectRaise([&] { multi->switchTo(3); }, "MultiplexLayerInvalidIndex", "Invalid index in MultiplexLayer switchTo message");
  ASSERT_EQ(multi->children().size(), 1u);
  EXPECT_EQ(multi->children()[0].node.get(), l2.get());
  EXPECT_EQ(multi->enabledLayer(), 2u);
  EXPECT_TRUE(l2->isRunning());
}

TEST_F(LayerTest, MultiplexListEndsAtTheFirstNull) {
  Ref<Layer> a = Layer::node();
  Ref<Layer> b = Layer::node();
  Ref<MultiplexLayer> multi = make<MultiplexLayer>(std::initializer_list<Ref<Layer>>{a, nullptr, b});
  EXPECT_EQ(multi->layers().size(), 1u);
  Ref<MultiplexLayer> empty = make<MultiplexLayer>(std::vector<Ref<Layer>>{});
  EXPECT_TRUE(empty->children().empty());
  expectRaise([&] { empty->switchTo(0); }, "MultiplexLayerInvalidIndex", "Invalid index in MultiplexLayer switchTo message");
}

}  // namespace
