#include "engine/transitions/Transition.h"

#include <algorithm>

#include "core/Exception.h"
#include "engine/scene/Camera.h"
#include "engine/actions/CameraAction.h"
#include "engine/actions/CompositeActions.h"
#include "engine/scene/Director.h"
#include "engine/render/DisplayMetrics.h"
#include "engine/scene/Layer.h"
#include "engine/actions/PropertyActions.h"

namespace peckish {

namespace {

constexpr float kEase = 0.5f;  // Accelerate rate: fast at first, slow at the end

Director* existingDirector() { return Director::exists() ? Director::sharedDirector() : nullptr; }

Ref<Action> eased(Ref<Action> action) { return Accelerate::actionWithAction(std::move(action), kEase); }

void resetScene(Scene* s, Vec2 anchor) {
  s->setVisible(true);
  s->setPosition(vzero);
  s->setScale(1.f);
  s->setRotation(0.f);
  s->setTransformAnchor(anchor);
  if (Camera* c = s->camera()) c->restore();
}

// Drops every action of a node that is off stage at once (rather than at a next step that will
// never come), so neither the node nor its actions keep each other alive.
void dropActions(Node* n) {
  n->stop();
  if (n->isRunning()) return;  // dropped at its next step
  const TimerCallback step(n, &Node::step_);
  if (n->isScheduled(step)) n->step_(0.0);
}

}  // namespace

// --- TransitionScene ---------------------------------------------------------------------------

TransitionScene::TransitionScene(double duration, Ref<Scene> scene) : duration_(duration) {
  inScene_ = std::move(scene);
  Director* d = existingDirector();
  outScene_ = d ? d->runningScene() : nullptr;
  if (!inScene_ || inScene_ == outScene_)
    raise("TransitionWithInvalidScene", "Incoming scene must be different from the outgoing scene");
  if (!outScene_) outScene_ = Scene::node();  // nothing running yet: come in from an empty scene
}

TransitionScene::~TransitionScene() {
  // Replaced before it finished: the scenes' actions call back into this transition.
  if (inScene_) dropActions(inScene_.get());
  if (outScene_) dropActions(outScene_.get());
  // Finished but never left the stage: the outgoing scene still holds its spent actions.
  if (finishedOut_) dropActions(finishedOut_.get());
}

CGSize TransitionScene::size() { return currentWinSize().size; }

Ref<Action> TransitionScene::finishAction() { return CallFunc::actionWithTarget(this, &TransitionScene::finish); }

void TransitionScene::start() {
  inAnchor_ = inScene_->transformAnchor();
  outAnchor_ = outScene_->transformAnchor();
  add(inScene_, 1);
  add(outScene_, 0);
}

void TransitionScene::finish() {
  if (!inScene_) return;  // already finished
  Ref<TransitionScene> self(this);
  Ref<Scene> in = std::move(inScene_);
  Ref<Scene> out = std::move(outScene_);
  resetScene(in.get(), inAnchor_);
  resetScene(out.get(), outAnchor_);
  in->stop();
  out->stop();
  if (Director* d = existingDirector()) d->replaceScene(in);
  remove(in.get());
  remove(out.get());
  finishedIn_ = std::move(in);
  finishedOut_ = std::move(out);
}

void TransitionScene::onExit() {
  Scene::onExit();
  Ref<Scene> in = std::move(finishedIn_);
  Ref<Scene> out = std::move(finishedOut_);
  if (in) resetScene(in.get(), inAnchor_);
  if (out) {
    resetScene(out.get(), outAnchor_);
    // Unless it waits on the scene stack, the outgoing scene and everything in it has left for good.
    Director* d = existingDirector();
    const bool stacked = d && std::find(d->scenes().begin(), d->scenes().end(), out) != d->scenes().end();
    if (stacked) dropActions(out.get());
    else out->cleanup();
  }
}

void TransitionScene::flip(float inAngleX, float outAngleX) {
  const float half = static_cast<float>(duration_ / 2);
  inScene_->setVisible(false);
  inScene_->do_(Sequence::actions(DelayTime::actionWithDuration(duration_ / 2), Show::action(),
                                  OrbitCamera::actionWithDuration(half, 1, 0, 270, 90, inAngleX, 0), finishAction()));
  outScene_->do_(Sequence::actions(OrbitCamera::actionWithDuration(half, 1, 0, 0, 90, outAngleX, 0), Hide::action(),
                                   DelayTime::actionWithDuration(duration_ / 2)));
}

// --- FadeTransition ----------------------------------------------------------------------------

Ref<FadeTransition> FadeTransition::transitionWithDuration(double duration, Ref<Scene> scene) {
  return create<FadeTransition>(duration, std::move(scene));
}

void FadeTransition::start() {
  TransitionScene::start();
  Ref<ColorLayer> fade = ColorLayer::layerWithColor(0);
  inScene_->setVisible(false);
  add(fade, 2, "fade");
}

void FadeTransition::onEnter() {
  Scene::onEnter();
  Node* fade = get("fade");
  if (!fade) return;
  fade->do_(Sequence::actions(FadeIn::actionWithDuration(duration_ / 2),
                              CallFunc::actionWithTarget(this, &FadeTransition::hideOutShowIn),
                              FadeOut::actionWithDuration(duration_ / 2), finishAction()));
}

void FadeTransition::onExit() {
  TransitionScene::onExit();
  if (Node* fade = get("fade")) dropActions(fade);
  removeByName("fade");
}

void FadeTransition::hideOutShowIn() {
  if (inScene_) inScene_->setVisible(true);
  if (outScene_) outScene_->setVisible(false);
}

// --- flips -------------------------------------------------------------------------------------

Ref<FlipXTransition> FlipXTransition::transitionWithDuration(double duration, Ref<Scene> scene) {
  return create<FlipXTransition>(duration, std::move(scene));
}

void FlipXTransition::start() {
  TransitionScene::start();
  flip(0, 0);
}

Ref<FlipYTransition> FlipYTransition::transitionWithDuration(double duration, Ref<Scene> scene) {
  return create<FlipYTransition>(duration, std::move(scene));
}

void FlipYTransition::start() {
  TransitionScene::start();
  flip(90, 90);
}

Ref<FlipAngularTransition> FlipAngularTransition::transitionWithDuration(double duration, Ref<Scene> scene) {
  return create<FlipAngularTransition>(duration, std::move(scene));
}

void FlipAngularTransition::start() {
  TransitionScene::start();
  flip(-45, 45);
}

// --- zooms -------------------------------------------------------------------------------------

Ref<ShrinkGrowTransition> ShrinkGrowTransition::transitionWithDuration(double duration, Ref<Scene> scene) {
  return create<ShrinkGrowTransition>(duration, std::move(scene));
}

void ShrinkGrowTransition::start() {
  TransitionScene::start();
  const CGSize s = size();
  inScene_->setScale(0.001f);
  outScene_->setScale(1.0f);
  inScene_->setTransformAnchor(Vec2(2 * s.width / 3, s.height / 2));
  outScene_->setTransformAnchor(Vec2(s.width / 3, s.height / 2));
  inScene_->do_(eased(ScaleTo::actionWithDuration(duration_, 1.0f)));
  outScene_->do_(Sequence::actions(eased(ScaleTo::actionWithDuration(duration_, 0.01f)), finishAction()));
}

Ref<RotoZoomTransition> RotoZoomTransition::transitionWithDuration(double duration, Ref<Scene> scene) {
  return create<RotoZoomTransition>(duration, std::move(scene));
}

void RotoZoomTransition::start() {
  TransitionScene::start();
  const CGSize s = size();
  inScene_->setScale(0.001f);
  outScene_->setScale(1.0f);
  inScene_->setTransformAnchor(Vec2(s.width / 2, s.height / 2));
  outScene_->setTransformAnchor(Vec2(s.width / 2, s.height / 2));
  Ref<Action> rotoZoom = Sequence::actions(
      Spawn::actions(ScaleBy::actionWithDuration(duration_ / 2, 0.001f), RotateBy::actionWithDuration(duration_ / 2, 720)),
      DelayTime::actionWithDuration(duration_ / 2));
  outScene_->do_(rotoZoom);
  inScene_->do_(Sequence::actions(rotoZoom->reverse(), finishAction()));
}

Ref<JumpZoomTransition> JumpZoomTransition::transitionWithDuration(double duration, Ref<Scene> scene) {
  return create<JumpZoomTransition>(duration, std::move(scene));
}

void JumpZoomTransition::start() {
  TransitionScene::start();
  const CGSize s = size();
  inScene_->setScale(0.5f);
  inScene_->setPosition(Vec2(s.width, 0));
  inScene_->setTransformAnchor(Vec2(s.width / 2, s.height / 2));
  outScene_->setTransformAnchor(Vec2(s.width / 2, s.height / 2));
  // Each side gets its own jump: a sequence aims its parts at its own node when it starts, so one
  // jump object shared by both sides would move whichever scene started last.
  Ref<Action> jump = JumpBy::actionWithDuration(duration_ / 4, Vec2(-s.width, 0), s.width / 4, 2);
  Ref<Action> scaleIn = ScaleTo::actionWithDuration(duration_ / 4, 1.0f);
  Ref<Action> scaleOut = ScaleTo::actionWithDuration(duration_ / 4, 0.5f);
  outScene_->do_(Sequence::actions(scaleOut, jump));
  inScene_->do_(Sequence::actions(DelayTime::actionWithDuration(duration_ / 2), jump->copy(), scaleIn, finishAction()));
}

// --- move-in family ----------------------------------------------------------------------------

Ref<MoveInLTransition> MoveInLTransition::transitionWithDuration(double duration, Ref<Scene> scene) {
  return create<MoveInLTransition>(duration, std::move(scene));
}

void MoveInLTransition::start() {
  TransitionScene::start();
  initScenes();
  inScene_->do_(Sequence::actions(eased(action()), finishAction()));
}

void MoveInLTransition::initScenes() { inScene_->setPosition(Vec2(-size().width, 0)); }

Ref<IntervalAction> MoveInLTransition::action() { return MoveTo::actionWithDuration(duration_, vzero); }

Ref<MoveInRTransition> MoveInRTransition::transitionWithDuration(double duration, Ref<Scene> scene) {
  return create<MoveInRTransition>(duration, std::move(scene));
}

void MoveInRTransition::initScenes() { inScene_->setPosition(Vec2(size().width, 0)); }

Ref<MoveInTTransition> MoveInTTransition::transitionWithDuration(double duration, Ref<Scene> scene) {
  return create<MoveInTTransition>(duration, std::move(scene));
}

void MoveInTTransition::initScenes() { inScene_->setPosition(Vec2(0, size().height)); }

Ref<MoveInBTransition> MoveInBTransition::transitionWithDuration(double duration, Ref<Scene> scene) {
  return create<MoveInBTransition>(duration, std::move(scene));
}

void MoveInBTransition::initScenes() { inScene_->setPosition(Vec2(0, -size().height)); }

// --- slide-in family ---------------------------------------------------------------------------

Ref<SlideInLTransition> SlideInLTransition::transitionWithDuration(double duration, Ref<Scene> scene) {
  return create<SlideInLTransition>(duration, std::move(scene));
}

void SlideInLTransition::start() {
  TransitionScene::start();
  initScenes();
  Ref<IntervalAction> in = action();
  Ref<Action> out = in->copy();
  inScene_->do_(eased(in));
  outScene_->do_(Sequence::actions(eased(out), finishAction()));
}

void SlideInLTransition::initScenes() { inScene_->setPosition(Vec2(-size().width, 0)); }

Ref<IntervalAction> SlideInLTransition::action() { return MoveBy::actionWithDuration(duration_, Vec2(size().width, 0)); }

Ref<SlideInRTransition> SlideInRTransition::transitionWithDuration(double duration, Ref<Scene> scene) {
  return create<SlideInRTransition>(duration, std::move(scene));
}

void SlideInRTransition::initScenes() { inScene_->setPosition(Vec2(size().width, 0)); }

Ref<IntervalAction> SlideInRTransition::action() { return MoveBy::actionWithDuration(duration_, Vec2(-size().width, 0)); }

Ref<SlideInTTransition> SlideInTTransition::transitionWithDuration(double duration, Ref<Scene> scene) {
  return create<SlideInTTransition>(duration, std::move(scene));
}

void SlideInTTransition::initScenes() { inScene_->setPosition(Vec2(0, size().height)); }

Ref<IntervalAction> SlideInTTransition::action() { return MoveBy::actionWithDuration(duration_, Vec2(0, -size().height)); }

Ref<SlideInBTransition> SlideInBTransition::transitionWithDuration(double duration, Ref<Scene> scene) {
  return create<SlideInBTransition>(duration, std::move(scene));
}

void SlideInBTransition::initScenes() { inScene_->setPosition(Vec2(0, -size().height)); }

Ref<IntervalAction> SlideInBTransition::action() { return MoveBy::actionWithDuration(duration_, Vec2(0, size().height)); }

}  // namespace peckish
