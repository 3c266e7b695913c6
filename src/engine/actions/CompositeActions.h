#pragma once
// Interval actions built from other actions: Sequence (one after the other), Spawn (side by side),
// Repeat, DelayTime, and the time-shaping wrappers ReverseTime, Speed, Accelerate, AccelDeccel.
//
// Inner actions are shared, not duplicated: copy() of a composite refers to the same inner action
// objects, so a composite and its copy must not run at the same time.
//
// Longer chains are left-nested pairs: Sequence::actions(a, b, c) is ((a, b), c). The list ends at
// its first null entry; a null first entry gives null, a single action is returned unwrapped.
#include <initializer_list>

#include "engine/actions/Action.h"

namespace peckish {

// Runs `one`, then `two`. Either part may be an instant action: a first part acts on the first
// update, a second part when the sequence's progress reaches the split point.
class Sequence : public IntervalAction {
 public:
  // Both parts are required (a null part raises "SequenceInit").
  Sequence(Ref<Action> one, Ref<Action> two);
  static Ref<Sequence> actionOne(Ref<Action> one, Ref<Action> two);
  static Ref<Action> actions(std::initializer_list<Ref<Action>> list);
  template <class... Rest>
  static Ref<Action> actions(Ref<Action> first, Rest&&... rest) {
    return actions({std::move(first), Ref<Action>(std::forward<Rest>(rest))...});
  }

  Action* one() const { return actions_[0].get(); }
  Action* two() const { return actions_[1].get(); }
  double split() const { return split_; }

  Ref<Action> copy() const override;
  void start() override;
  void update(double t) override;
  // (second reverse, first reverse)
  Ref<Action> reverse() const override;

 private:
  Ref<Action> actions_[2];
  double split_ = 0.0;
  int last_ = -1;
  bool zeroLength_ = false;  // both parts last 0 s: the first update runs them both to the end
};

// Runs `one` and `two` at the same time by handing both to the target node when it starts; the
// node steps them as its own actions. The shorter part is padded with a DelayTime so both last as
// long as the spawn. Started inside a sequence, the parts are first stepped one frame after the
// sequence started the spawn.
class Spawn : public IntervalAction {
 public:
  Spawn(Ref<Action> one, Ref<Action> two);  // a null part raises "SpawnInit"
  static Ref<Spawn> actionOne(Ref<Action> one, Ref<Action> two);
  static Ref<Action> actions(std::initializer_list<Ref<Action>> list);
  template <class... Rest>
  static Ref<Action> actions(Ref<Action> first, Rest&&... rest) {
    return actions({std::move(first), Ref<Action>(std::forward<Rest>(rest))...});
  }

  // The parts as stored: the shorter one wrapped in a padding sequence.
  Action* one() const { return one_.get(); }
  Action* two() const { return two_.get(); }

  Ref<Action> copy() const override;
  void start() override;
  void update(double t) override;  // nothing: the node steps the parts
  bool isDone() const override;    // both parts done
  Ref<Action> reverse() const override;

 private:
  Ref<Action> one_;
  Ref<Action> two_;
};

// Waits.
class DelayTime : public IntervalAction {
 public:
  explicit DelayTime(double duration) : IntervalAction(duration) {}
  static Ref<DelayTime> actionWithDuration(double duration);
  Ref<Action> copy() const override;
  void update(double t) override;
  Ref<Action> reverse() const override;  // a DelayTime of the same duration
};

// Base of the actions that drive one inner action: start() targets the inner action at this
// action's target and starts it.
class ActionWrapper : public IntervalAction {
 public:
  Action* other() const { return other_.get(); }
  void start() override;

 protected:
  ActionWrapper(double duration, Ref<Action> other);  // a null inner action raises "ActionInit"
  Ref<Action> other_;
};

// Runs the inner action `times` times (0: forever). Meant to run directly on a node: it is driven
// by step(); inside a sequence or spawn it does not advance. The count of completed repetitions
// is kept across restarts. Its duration is the inner duration x times truncated to whole seconds.
class Repeat : public ActionWrapper {
 public:
  Repeat(Ref<Action> other, unsigned times);
  static Ref<Repeat> actionWithAction(Ref<Action> other, unsigned times);

  unsigned times() const { return times_; }
  unsigned total() const { return total_; }

  Ref<Action> copy() const override;
  void step(double dt) override;
  bool isDone() const override;

 private:
  unsigned times_;
  unsigned total_ = 0;
};

// Runs the inner action backwards: update(t) sends 1 - t.
class ReverseTime : public ActionWrapper {
 public:
  explicit ReverseTime(Ref<Action> other);
  static Ref<ReverseTime> actionWithAction(Ref<Action> other);
  Ref<Action> copy() const override;
  void update(double t) override;
  void stop() override;                  // stops the inner action too
  Ref<Action> reverse() const override;  // a copy of the inner action
};

// Runs the inner action `speed` times as fast: the duration is divided, progress passes unchanged.
class Speed : public ActionWrapper {
 public:
  Speed(Ref<Action> other, double speed);
  static Ref<Speed> actionWithAction(Ref<Action> other, double speed);
  double speed() const { return speed_; }
  Ref<Action> copy() const override;
  void update(double t) override;
  Ref<Action> reverse() const override;

 private:
  double speed_;
};

// Eases the inner action in: progress t becomes t^rate.
class Accelerate : public ActionWrapper {
 public:
  Accelerate(Ref<Action> other, float rate);
  static Ref<Accelerate> actionWithAction(Ref<Action> other, float rate);
  float rate() const { return rate_; }
  Ref<Action> copy() const override;
  void update(double t) override;
  Ref<Action> reverse() const override;  // rate 1 / rate

 private:
  float rate_;
};

// Eases in and out along a logistic curve: t becomes 1 / (1 + e^(-12 (t - 0.5))). The inner action
// never quite reaches its start or end values.
class AccelDeccel : public ActionWrapper {
 public:
  explicit AccelDeccel(Ref<Action> other);
  static Ref<AccelDeccel> actionWithAction(Ref<Action> other);
  Ref<Action> copy() const override;
  void update(double t) override;
  Ref<Action> reverse() const override;
};

}  // namespace peckish
