// "particles" demo: the game's pictures laid out on the farmyard, and each particle preset in turn
// in front of them (one at a time: systems drawn in one frame share the frame's step time).
#include <string>

#include "demos/Demos.h"
#include "engine/render/Label.h"
#include "engine/scene/Layer.h"
#include "engine/particles/ParticleSystem.h"
#include "engine/scene/Scene.h"
#include "engine/render/Sprite.h"
#include "engine/particles/ParticlePresets.h"

namespace peckish {

namespace {

constexpr double kPresetTime = 4.0;

class ParticleDemoLayer : public Layer {
 public:
  ParticleDemoLayer() {
    label_ = Label::labelWithString("", CGSizeMake(240, 32), 1, "Marker Felt", 24);
    label_->setPosition(Vec2(240, 300));
    add(label_, 10);
    showPreset(0);
  }
  void onEnter() override {
    Layer::onEnter();
    schedule(&ParticleDemoLayer::tick);
  }
  void onExit() override {
    unschedule(&ParticleDemoLayer::tick);
    Layer::onExit();
  }
  void tick(double dt) {
    shown_ += dt;
    if (shown_ >= kPresetTime) showPreset((index_ + 1) % particlePresets().size());
  }

 private:
  void showPreset(size_t index) {
    if (system_) remove(system_.get());
    index_ = index;
    shown_ = 0;
    const ParticlePreset& preset = particlePresets()[index];
    system_ = ParticleSystem::create<ParticleSystem>(preset);
    system_->setPosition(Vec2(240, 160));
    add(system_, 5);
    label_->setString(preset.name);
  }

  Ref<Label> label_;
  Ref<ParticleSystem> system_;
  size_t index_ = 0;
  double shown_ = 0;
};

void addPicture(Scene* scene, const char* file, Vec2 position, float scale = 1.f) {
  Ref<Sprite> sprite = Sprite::spriteFromFile(file);
  if (!sprite) return;
  sprite->setPosition(position);
  sprite->setScale(scale);
  scene->add(sprite, 1);
}

}  // namespace

Ref<Scene> particlesDemo() {
  Ref<Scene> scene = Scene::node();
  if (Ref<Sprite> background = Sprite::spriteFromFile("GameBackground.png")) {
    background->setTransformAnchor(vzero);
    scene->add(background, 0);
  }
  addPicture(scene.get(), "Rooster.png", Vec2(90, 110));
  addPicture(scene.get(), "Girl.png", Vec2(390, 110));
  addPicture(scene.get(), "YellowStar.png", Vec2(60, 230), 0.8f);
  addPicture(scene.get(), "RedStar.png", Vec2(420, 230), 0.8f);
  addPicture(scene.get(), "Reset.png", Vec2(456, 292));
  addPicture(scene.get(), "fire.png", Vec2(24, 296));
  scene->add(make<ParticleDemoLayer>(), 2);
  return scene;
}

}  // namespace peckish
