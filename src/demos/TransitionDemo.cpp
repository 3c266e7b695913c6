// "transitions" demo: two coloured scenes take turns, brought in by each transition kind in turn.
#include <string>

#include "demos/Demos.h"
#include "engine/scene/Director.h"
#include "engine/render/DisplayMetrics.h"
#include "engine/render/Label.h"
#include "engine/scene/Layer.h"
#include "engine/scene/Scene.h"
#include "engine/transitions/Transition.h"
#include "engine/transitions/TransitionRegistry.h"

namespace peckish {

namespace {

constexpr double kTransitionTime = 1.0;
constexpr double kHoldTime = 1.0;

// Scene number n of the demo: its colour alternates, its label names the kind that brings it in.
Ref<Scene> demoStep(size_t n);

// Waits until its scene has been the running scene for the hold time, then moves on with the
// next transition kind.
class TransitionsDemoLayer : public Layer {
 public:
  explicit TransitionsDemoLayer(size_t n) : n_(n) {}

  void onEnter() override {
    Layer::onEnter();
    schedule(&TransitionsDemoLayer::tick);
  }
  void onExit() override {
    unschedule(&TransitionsDemoLayer::tick);
    Layer::onExit();
  }

  void tick(double dt) {
    Director* d = Director::exists() ? Director::sharedDirector() : nullptr;
    if (!d || done_ || d->runningScene() != parent()) return;  // still inside a transition
    held_ += dt;
    if (held_ < kHoldTime) return;
    done_ = true;
    const auto& kinds = transitionKinds();
    const TransitionKind& kind = kinds[n_ % kinds.size()];
    d->replaceScene(kind.make(kTransitionTime, demoStep(n_ + 1)));
  }

 private:
  size_t n_;
  double held_ = 0.0;
  bool done_ = false;
};

Ref<Scene> demoStep(size_t n) {
  static constexpr PackedColor kColors[2] = {0x3060C0FF, 0xC05030FF};
  const auto& kinds = transitionKinds();
  const CGSize win = currentWinSize().size;
  Ref<Scene> scene = Scene::node();
  scene->add(ColorLayer::layerWithColor(kColors[n % 2]));
  std::string text = n == 0 ? std::string("Transitions") : std::string(kinds[(n - 1) % kinds.size()].name);
  Ref<Label> label = Label::labelWithString(text, CGSizeMake(win.width, 48), 1, "Marker Felt", 36);
  label->setPosition(Vec2(win.width / 2, win.height / 2));
  scene->add(label, 1, "name");
  scene->add(make<TransitionsDemoLayer>(n), 2);
  return scene;
}

}  // namespace

Ref<Scene> transitionsDemo() { return demoStep(0); }

}  // namespace peckish
