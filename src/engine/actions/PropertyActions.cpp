#include "engine/actions/PropertyActions.h"

#include <cmath>
#include <cstddef>

#include "core/Exception.h"
#include "core/Log.h"
#include "engine/scene/Node.h"
#include "engine/scene/NodeOpacity.h"
#include "engine/render/Sprite.h"
#include "engine/render/Texture2D.h"
#include "engine/render/TextureNode.h"

namespace peckish {

namespace {

// start + change x t in double precision, rounded to float.
float lerp(float start, float change, double t) {
  return static_cast<float>(static_cast<double>(start) + static_cast<double>(change) * t);
}

// Truncates to an unsigned integer and keeps the low 8 bits. Values a float-to-integer conversion
// cannot represent (NaN, negative) give 0 rather than undefined behaviour.
uint8_t opacityFrom(double v) {
  if (!(v >= 0.0)) return 0;
  if (v >= 4294967296.0) v = std::fmod(v, 4294967296.0);
  return static_cast<uint8_t>(static_cast<uint32_t>(v));
}

NodeOpacity* opacityTarget(Node* node) { return dynamic_cast<NodeOpacity*>(node); }

}  // namespace

// --- MoveTo, MoveBy ----------------------------------------------------------------------------

MoveTo::MoveTo(double duration, Vec2 position) : IntervalAction(duration), endPosition_(position) {}
MoveTo::MoveTo(double duration, Vec2 delta, ByDelta) : IntervalAction(duration), delta_(delta) {}

Ref<MoveTo> MoveTo::actionWithDuration(double duration, Vec2 position) { return make<MoveTo>(duration, position); }

Ref<Action> MoveTo::copy() const { return make<MoveTo>(duration_, endPosition_); }

void MoveTo::start() {
  IntervalAction::start();
  startPosition_ = target_ ? target_->position() : vzero;
  delta_ = Vec2(endPosition_.x - startPosition_.x, endPosition_.y - startPosition_.y);
}

void MoveTo::update(double t) {
  if (!target_) return;
  target_->setPosition(Vec2(lerp(startPosition_.x, delta_.x, t), lerp(startPosition_.y, delta_.y, t)));
}

MoveBy::MoveBy(double duration, Vec2 delta) : MoveTo(duration, delta, ByDelta{}) {}

Ref<MoveBy> MoveBy::actionWithDuration(double duration, Vec2 delta) { return make<MoveBy>(duration, delta); }

Ref<Action> MoveBy::copy() const { return make<MoveBy>(duration_, delta_); }

void MoveBy::start() {
  IntervalAction::start();
  startPosition_ = target_ ? target_->position() : vzero;
}

Ref<Action> MoveBy::reverse() const { return make<MoveBy>(duration_, Vec2(-delta_.x, -delta_.y)); }

// --- JumpBy, JumpTo ----------------------------------------------------------------------------

JumpBy::JumpBy(double duration, Vec2 position, double height, int jumps)
    : IntervalAction(duration), delta_(position), height_(height), jumps_(jumps) {}

Ref<JumpBy> JumpBy::actionWithDuration(double duration, Vec2 position, double height, int jumps) {
  return make<JumpBy>(duration, position, height, jumps);
}

Ref<Action> JumpBy::copy() const { return make<JumpBy>(duration_, delta_, height_, jumps_); }

void JumpBy::start() {
  IntervalAction::start();
  startPosition_ = target_ ? target_->position() : vzero;
}

void JumpBy::update(double t) {
  if (!target_) return;
  // The angle is rounded to float and its sine taken in single precision.
  const float angle = static_cast<float>(t * M_PI * jumps_);
  const double hop = height_ * std::fabs(std::sin(angle));
  const float x = static_cast<float>(startPosition_.x + delta_.x * t);
  const float y = static_cast<float>(startPosition_.y + (hop + delta_.y * t));
  target_->setPosition(Vec2(x, y));
}

Ref<Action> JumpBy::reverse() const {
  return make<JumpBy>(duration_, Vec2(-delta_.x, -delta_.y), height_, jumps_);
}

JumpTo::JumpTo(double duration, Vec2 position, double height, int jumps)
    : JumpBy(duration, position, height, jumps) {}

Ref<JumpTo> JumpTo::actionWithDuration(double duration, Vec2 position, double height, int jumps) {
  return make<JumpTo>(duration, position, height, jumps);
}

Ref<Action> JumpTo::copy() const { return make<JumpTo>(duration_, delta_, height_, jumps_); }

void JumpTo::start() {
  JumpBy::start();
  delta_ = Vec2(delta_.x - startPosition_.x, delta_.y - startPosition_.y);
}

// --- RotateTo, RotateBy ------------------------------------------------------------------------

RotateTo::RotateTo(double duration, float angle) : IntervalAction(duration), angle_(angle) {}

Ref<RotateTo> RotateTo::actionWithDuration(double duration, float angle) { return make<RotateTo>(duration, angle); }

Ref<Action> RotateTo::copy() const { return make<RotateTo>(duration_, angle_); }

void RotateTo::start() {
  IntervalAction::start();
  startAngle_ = target_ ? target_->rotation() : 0.f;
  angle_ -= startAngle_;
  if (angle_ > 180.f) angle_ -= 360.f;
  if (angle_ < -180.f) angle_ += 360.f;
}

void RotateTo::update(double t) {
  if (target_) target_->setRotation(lerp(startAngle_, angle_, t));
}

RotateBy::RotateBy(double duration, float angle) : IntervalAction(duration), angle_(angle) {}

Ref<RotateBy> RotateBy::actionWithDuration(double duration, float angle) { return make<RotateBy>(duration, angle); }

Ref<Action> RotateBy::copy() const { return make<RotateBy>(duration_, angle_); }

void RotateBy::start() {
  IntervalAction::start();
  startAngle_ = target_ ? target_->rotation() : 0.f;
}

void RotateBy::update(double t) {
  if (target_) target_->setRotation(lerp(startAngle_, angle_, t));
}

Ref<Action> RotateBy::reverse() const { return make<RotateBy>(duration_, -angle_); }

// --- ScaleTo, ScaleBy --------------------------------------------------------------------------

ScaleTo::ScaleTo(double duration, float scale) : IntervalAction(duration), endScale_(scale) {}

Ref<ScaleTo> ScaleTo::actionWithDuration(double duration, float scale) { return make<ScaleTo>(duration, scale); }

Ref<Action> ScaleTo::copy() const { return make<ScaleTo>(duration_, endScale_); }

void ScaleTo::start() {
  IntervalAction::start();
  startScale_ = target_ ? target_->scale() : 1.f;
  delta_ = endScale_ - startScale_;
}

void ScaleTo::update(double t) {
  if (target_) target_->setScale(lerp(startScale_, delta_, t));
}

ScaleBy::ScaleBy(double duration, float factor) : ScaleTo(duration, factor) {}

Ref<ScaleBy> ScaleBy::actionWithDuration(double duration, float factor) { return make<ScaleBy>(duration, factor); }

Ref<Action> ScaleBy::copy() const { return make<ScaleBy>(duration_, endScale_); }

void ScaleBy::start() {
  ScaleTo::start();
  delta_ = startScale_ * endScale_ - startScale_;
}

Ref<Action> ScaleBy::reverse() const { return make<ScaleBy>(duration_, 1.0f / endScale_); }

// --- Blink -------------------------------------------------------------------------------------

Blink::Blink(double duration, int times) : IntervalAction(duration), times_(times) {}

Ref<Blink> Blink::actionWithDuration(double duration, int times) { return make<Blink>(duration, times); }

Ref<Action> Blink::copy() const { return make<Blink>(duration_, times_); }

void Blink::update(double t) {
  if (!target_) return;
  // The slice is rounded to float first: with 5 blinks fmod(1, slice) stays just under a slice and
  // the node ends visible; with 1, 2, 4 or 8 the slice is exact and it ends hidden.
  const double slice = static_cast<double>(1.0f / static_cast<float>(times_));
  target_->setVisible(std::fmod(t, slice) > slice * 0.5);
}

Ref<Action> Blink::reverse() const { return make<Blink>(duration_, times_); }

// --- FadeIn, FadeOut, FadeTo -------------------------------------------------------------------

Ref<FadeIn> FadeIn::actionWithDuration(double duration) { return make<FadeIn>(duration); }
Ref<Action> FadeIn::copy() const { return make<FadeIn>(duration_); }
void FadeIn::update(double t) {
  if (NodeOpacity* o = opacityTarget(target_.get())) o->setOpacity(opacityFrom(255.0 * t));
}
Ref<Action> FadeIn::reverse() const { return make<FadeOut>(duration_); }

Ref<FadeOut> FadeOut::actionWithDuration(double duration) { return make<FadeOut>(duration); }
Ref<Action> FadeOut::copy() const { return make<FadeOut>(duration_); }
void FadeOut::update(double t) {
  if (NodeOpacity* o = opacityTarget(target_.get())) o->setOpacity(opacityFrom(255.0 * (1.0 - t)));
}
Ref<Action> FadeOut::reverse() const { return make<FadeIn>(duration_); }

FadeTo::FadeTo(double duration, uint8_t opacity) : IntervalAction(duration), toOpacity_(opacity) {}

Ref<FadeTo> FadeTo::actionWithDuration(double duration, uint8_t opacity) { return make<FadeTo>(duration, opacity); }

Ref<Action> FadeTo::copy() const { return make<FadeTo>(duration_, toOpacity_); }

void FadeTo::start() {
  IntervalAction::start();
  if (NodeOpacity* o = opacityTarget(target_.get())) fromOpacity_ = o->opacity();
}

void FadeTo::update(double t) {
  if (NodeOpacity* o = opacityTarget(target_.get())) {
    const int change = static_cast<int>(toOpacity_) - static_cast<int>(fromOpacity_);
    o->setOpacity(opacityFrom(fromOpacity_ + change * t));
  }
}

// --- Animate -----------------------------------------------------------------------------------

namespace {
double animationDuration(const Ref<Animation>& a) {
  if (!a) return 0.0;
  return static_cast<double>(static_cast<float>(a->frames().size()) * a->delay());
}
}  // namespace

Animate::Animate(Ref<Animation> animation)
    : IntervalAction(animationDuration(animation)), animation_(std::move(animation)) {
  if (!animation_) raise("AnimateInit", "An animation is required");
}

Animate::~Animate() = default;

Ref<Animate> Animate::actionWithAnimation(Ref<Animation> animation) { return make<Animate>(std::move(animation)); }

Ref<Action> Animate::copy() const { return make<Animate>(animation_); }

void Animate::start() {
  IntervalAction::start();
  auto* node = dynamic_cast<TextureNode*>(target_.get());
  origFrame_ = node ? node->texture() : nullptr;
}

void Animate::stop() {
  if (auto* node = dynamic_cast<TextureNode*>(target_.get())) node->setTexture(origFrame_.get());
  IntervalAction::stop();
}

void Animate::update(double t) {
  const auto& frames = animation_->frames();
  const size_t n = frames.size();
  if (n == 0) return;
  const double slice = static_cast<double>(1.0f / static_cast<float>(n));
  size_t index = 0;
  if (t != 0.0 && t >= 0.0) {  // NaN and negative progress show the first frame
    const double q = t / slice;
    index = q >= static_cast<double>(n) ? n - 1 : static_cast<size_t>(q);
  }
  engineLog("idx: %d", static_cast<int>(index));
  auto* node = dynamic_cast<TextureNode*>(target_.get());
  if (node && node->texture() != frames[index].get()) node->setTexture(frames[index].get());
}

}  // namespace peckish
