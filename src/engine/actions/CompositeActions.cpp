#include "engine/actions/CompositeActions.h"

#include <algorithm>
#include <cmath>

#include "core/Exception.h"
#include "engine/scene/Node.h"

namespace peckish {

namespace {

// ((a1, a2), a3)...: stops at the first null entry.
template <class Pair>
Ref<Action> leftNested(std::initializer_list<Ref<Action>> list) {
  Ref<Action> result;
  for (const Ref<Action>& a : list) {
    if (!a) break;
    result = result ? Ref<Action>(make<Pair>(result, a)) : a;
  }
  return result;
}

}  // namespace

// --- Sequence ----------------------------------------------------------------------------------

Sequence::Sequence(Ref<Action> one, Ref<Action> two)
    : IntervalAction((one && two) ? one->duration() + two->duration() : 0.0) {
  if (!one || !two) raise("SequenceInit", "A sequence needs two actions");
  actions_[0] = std::move(one);
  actions_[1] = std::move(two);
}

Ref<Sequence> Sequence::actionOne(Ref<Action> one, Ref<Action> two) {
  return make<Sequence>(std::move(one), std::move(two));
}

Ref<Action> Sequence::actions(std::initializer_list<Ref<Action>> list) { return leftNested<Sequence>(list); }

Ref<Action> Sequence::copy() const { return make<Sequence>(actions_[0], actions_[1]); }

void Sequence::start() {
  IntervalAction::start();
  actions_[0]->setTarget(target());
  actions_[1]->setTarget(target());
  // With no time at all there is no split point; the second part takes over at once.
  zeroLength_ = duration_ == 0.0;
  split_ = zeroLength_ ? 0.0 : actions_[0]->duration() / duration_;
  last_ = -1;
}

void Sequence::update(double t) {
  if (zeroLength_) t = 1.0;  // also covers the 0/0 progress of a zero-time first step

  int found;
  double local;
  if (split_ <= t) {
    found = 1;
    local = split_ == 1.0 ? 1.0 : (t - split_) / (1.0 - split_);
  } else {
    found = 0;
    local = split_ != 0.0 ? t / split_ : 1.0;
  }

  if (last_ == -1 && found == 1) {
    // The first part was skipped entirely: run it from start to end before the second begins.
    actions_[0]->start();
    actions_[0]->update(1.0);
    actions_[0]->stop();
  }
  if (found != last_) {
    if (last_ != -1) {
      actions_[last_]->update(1.0);
      actions_[last_]->stop();
    }
    actions_[found]->start();
  }
  actions_[found]->update(local);
  last_ = found;
}

Ref<Action> Sequence::reverse() const {
  return make<Sequence>(actions_[1]->reverse(), actions_[0]->reverse());
}

// --- Spawn -------------------------------------------------------------------------------------

Spawn::Spawn(Ref<Action> one, Ref<Action> two)
    : IntervalAction((one && two) ? std::max(one->duration(), two->duration()) : 0.0) {
  if (!one || !two) raise("SpawnInit", "A spawn needs two actions");
  const double d1 = one->duration();
  const double d2 = two->duration();
  if (d1 > d2) {
    two = make<Sequence>(two, make<DelayTime>(d1 - d2));
  } else if (d1 < d2) {
    one = make<Sequence>(one, make<DelayTime>(d2 - d1));
  }
  one_ = std::move(one);
  two_ = std::move(two);
}

Ref<Spawn> Spawn::actionOne(Ref<Action> one, Ref<Action> two) {
  return make<Spawn>(std::move(one), std::move(two));
}

Ref<Action> Spawn::actions(std::initializer_list<Ref<Action>> list) { return leftNested<Spawn>(list); }

Ref<Action> Spawn::copy() const { return make<Spawn>(one_, two_); }

void Spawn::start() {
  IntervalAction::start();
  if (Node* node = target()) {
    node->do_(one_);
    node->do_(two_);
  }
}

void Spawn::update(double) {}

bool Spawn::isDone() const { return one_->isDone() && two_->isDone(); }

Ref<Action> Spawn::reverse() const { return make<Spawn>(one_->reverse(), two_->reverse()); }

// --- DelayTime ---------------------------------------------------------------------------------

Ref<DelayTime> DelayTime::actionWithDuration(double duration) { return make<DelayTime>(duration); }
Ref<Action> DelayTime::copy() const { return make<DelayTime>(duration_); }
void DelayTime::update(double) {}
Ref<Action> DelayTime::reverse() const { return make<DelayTime>(duration_); }

// --- ActionWrapper -----------------------------------------------------------------------------

ActionWrapper::ActionWrapper(double duration, Ref<Action> other)
    : IntervalAction(duration), other_(std::move(other)) {
  if (!other_) raise("ActionInit", "An inner action is required");
}

void ActionWrapper::start() {
  IntervalAction::start();
  other_->setTarget(target());
  other_->start();
}

namespace {
double durationOf(const Ref<Action>& a) { return a ? a->duration() : 0.0; }
}  // namespace

// --- Repeat ------------------------------------------------------------------------------------

Repeat::Repeat(Ref<Action> other, unsigned times)
    : ActionWrapper(std::trunc(durationOf(other) * times), other), times_(times) {}

Ref<Repeat> Repeat::actionWithAction(Ref<Action> other, unsigned times) {
  return make<Repeat>(std::move(other), times);
}

Ref<Action> Repeat::copy() const { return make<Repeat>(other_, times_); }

void Repeat::step(double dt) {
  other_->step(dt);
  if (other_->isDone()) {
    ++total_;
    start();  // time beyond the end of the inner action is dropped
  }
}

// A repeat run again after it finished counts on past `times`; it is done after its first
// repetition instead of running forever.
bool Repeat::isDone() const { return times_ != 0 && total_ >= times_; }

// --- ReverseTime -------------------------------------------------------------------------------

ReverseTime::ReverseTime(Ref<Action> other) : ActionWrapper(durationOf(other), other) {}

Ref<ReverseTime> ReverseTime::actionWithAction(Ref<Action> other) { return make<ReverseTime>(std::move(other)); }

Ref<Action> ReverseTime::copy() const { return make<ReverseTime>(other_); }

void ReverseTime::update(double t) { other_->update(1.0 - t); }

void ReverseTime::stop() {
  other_->stop();
  ActionWrapper::stop();
}

Ref<Action> ReverseTime::reverse() const { return other_->copy(); }

// --- Speed -------------------------------------------------------------------------------------

Speed::Speed(Ref<Action> other, double speed)
    : ActionWrapper(durationOf(other) / speed, other), speed_(speed) {}

Ref<Speed> Speed::actionWithAction(Ref<Action> other, double speed) { return make<Speed>(std::move(other), speed); }

Ref<Action> Speed::copy() const { return make<Speed>(other_, speed_); }

void Speed::update(double t) { other_->update(t); }

Ref<Action> Speed::reverse() const { return make<Speed>(other_->reverse(), speed_); }

// --- Accelerate --------------------------------------------------------------------------------

Accelerate::Accelerate(Ref<Action> other, float rate) : ActionWrapper(durationOf(other), other), rate_(rate) {}

Ref<Accelerate> Accelerate::actionWithAction(Ref<Action> other, float rate) {
  return make<Accelerate>(std::move(other), rate);
}

Ref<Action> Accelerate::copy() const { return make<Accelerate>(other_, rate_); }

void Accelerate::update(double t) { other_->update(std::pow(t, static_cast<double>(rate_))); }

Ref<Action> Accelerate::reverse() const { return make<Accelerate>(other_->reverse(), 1.0f / rate_); }

// --- AccelDeccel -------------------------------------------------------------------------------

AccelDeccel::AccelDeccel(Ref<Action> other) : ActionWrapper(durationOf(other), other) {}

Ref<AccelDeccel> AccelDeccel::actionWithAction(Ref<Action> other) { return make<AccelDeccel>(std::move(other)); }

Ref<Action> AccelDeccel::copy() const { return make<AccelDeccel>(other_); }

void AccelDeccel::update(double t) { other_->update(1.0 / (1.0 + std::exp(-12.0 * (t - 0.5)))); }

Ref<Action> AccelDeccel::reverse() const { return make<AccelDeccel>(other_->reverse()); }

}  // namespace peckish
