#include "engine/actions/Action.h"

#include <sys/time.h>

#include "core/Exception.h"
#include "core/Log.h"
#include "engine/scene/Description.h"
#include "engine/scene/Node.h"
#include "platform/RunLoop.h"

namespace peckish {

// --- Action ------------------------------------------------------------------------------------

Action::Action() = default;

Action::~Action() {
  engineLog("deallocing <%s: %p>", objectClassName(this, type_), static_cast<const void*>(this));
}

void Action::willDestroy() const noexcept { type_ = &typeid(*this); }

Ref<Action> Action::action() { return make<Action>(); }

Node* Action::target() const { return target_.get(); }
void Action::setTarget(Node* target) {
  type_ = &typeid(*this);
  target_.reset(target);
}

Ref<Action> Action::copy() const {
  Ref<Action> a = make<Action>();
  a->setTarget(target_.get());
  return a;
}

void Action::start() {}
void Action::stop() {}
bool Action::isDone() const { return true; }
void Action::step(double) { engineLog("[Action step]. override me"); }
void Action::update(double) { engineLog("[Action update]. override me"); }

Ref<Action> Action::reverse() const { raise("ReverseActionNotImplemented", "Reverse Action not implemented"); }

// --- IntervalAction ----------------------------------------------------------------------------

IntervalAction::IntervalAction(double duration) : duration_(duration) {}

Ref<IntervalAction> IntervalAction::actionWithDuration(double duration) { return make<IntervalAction>(duration); }

Ref<Action> IntervalAction::copy() const { return make<IntervalAction>(duration_); }

void IntervalAction::start() {
  Action::start();
  timeval now{};
  if (platform::getTimeOfDay(&now) != 0) raise("GetTimeOfDay", "GetTimeOfDay abnormal error");
  lastUpdate_.tv_sec = static_cast<std::int32_t>(now.tv_sec);
  lastUpdate_.tv_usec = static_cast<std::int32_t>(now.tv_usec);
  elapsed_ = 0.0;
}

void IntervalAction::step(double dt) {
  elapsed_ += dt;
  double t = elapsed_ / duration_;
  if (t > 1.0) t = 1.0;  // NaN compares false and passes through
  update(t);
}

// --- InstantAction -----------------------------------------------------------------------------

Ref<InstantAction> InstantAction::action() { return make<InstantAction>(); }
Ref<Action> InstantAction::copy() const { return make<InstantAction>(); }
void InstantAction::step(double) { update(1.0); }
void InstantAction::update(double) {}

// --- Show, Hide, ToggleVisibility, Place -------------------------------------------------------

Ref<Show> Show::action() { return make<Show>(); }
void Show::start() {
  InstantAction::start();
  if (target_) target_->setVisible(true);
}
Ref<Action> Show::copy() const { return make<Show>(); }

Ref<Hide> Hide::action() { return make<Hide>(); }
void Hide::start() {
  InstantAction::start();
  if (target_) target_->setVisible(false);
}
Ref<Action> Hide::copy() const { return make<Hide>(); }

Ref<ToggleVisibility> ToggleVisibility::action() { return make<ToggleVisibility>(); }
void ToggleVisibility::start() {
  InstantAction::start();
  if (target_) target_->setVisible(!target_->visible());
}
Ref<Action> ToggleVisibility::copy() const { return make<ToggleVisibility>(); }

Ref<Place> Place::actionWithPosition(Vec2 position) { return make<Place>(position); }
void Place::start() {
  InstantAction::start();
  if (target_) target_->setPosition(position_);
}
Ref<Action> Place::copy() const { return make<Place>(position_); }

// --- CallFunc, CallFuncN -----------------------------------------------------------------------

void CallFunc::start() {
  InstantAction::start();
  execute();
}
void CallFunc::execute() {
  if (callback_) callback_();
}
Ref<Action> CallFunc::copy() const { return make<CallFunc>(callback_); }

Ref<Action> CallFuncN::copy() const { return make<CallFuncN>(callbackN_); }
void CallFuncN::execute() {
  if (callbackN_) callbackN_(target_.get());
}

}  // namespace peckish
