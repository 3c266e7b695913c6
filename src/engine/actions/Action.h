#pragma once
// Actions change a node over time. A node runs one with node->do_(action): the node sets itself as
// the target, starts the action, and from then on steps it once per frame until it is done.
//
// Calling order (used by Node and by composite actions):
//   setTarget(node) -> start() -> step(dt) once per frame -> after a step that leaves isDone()
//   true, stop(). update(t) is sent only from step() or by a composite that drives its parts.
//   startWithTarget(node) is setTarget + start.
//
// Subclass hooks:
//   start()     reset per-run state; always call the base first (IntervalAction::start zeroes
//               elapsed). Instant actions do their whole work here.
//   step(dt)    IntervalAction turns elapsed time into progress and calls update(t); override only
//               for actions that drive another action by time (a repeat, say).
//   update(t)   progress 0..1 (double); the one hook an interval action normally overrides.
//   isDone()    IntervalAction: elapsed >= duration. Override for actions done on other terms.
//   stop()      called once after the step that finished the action (or by a composite).
//   copy()      a fresh action of the same class and parameters, without target, not started.
//               Every concrete subclass overrides it.
//   reverse()   the action that undoes this one; the base raises "ReverseActionNotImplemented".
//   duration()  seconds; 0 for instant actions. Composites read it from their parts.
//
// Ownership: the action holds a reference to its target and the node's list holds the action; the
// cycle lasts until the node drops the action from its list.
#include <cstdint>
#include <typeinfo>

#include "core/Callback.h"
#include "core/Object.h"
#include "math/Vec2.h"

namespace peckish {

class Node;

class Action : public Object {
 public:
  Action();
  // Logs "deallocing <Class: 0x...>" naming the concrete class of the action.
  ~Action() override;

  static Ref<Action> action();

  Node* target() const;
  void setTarget(Node* target);  // retains the node
  void startWithTarget(Node* target) {
    setTarget(target);
    start();
  }

  virtual Ref<Action> copy() const;  // base: a new Action with the same target
  virtual void start();               // base: nothing
  virtual void stop();                // base: nothing
  virtual bool isDone() const;        // base: true
  virtual void step(double dt);       // base: logs "[Action step]. override me"
  virtual void update(double t);      // base: logs "[Action update]. override me"
  virtual double duration() const { return 0.0; }
  virtual Ref<Action> reverse() const;  // raises "ReverseActionNotImplemented"

 protected:
  void willDestroy() const noexcept override;

  Ref<Node> target_;

 private:
  // The concrete class, recorded while it is still known (the destructor sees only Action).
  mutable const std::type_info* type_ = nullptr;
};

// Wall-clock reading with the 32-bit fields of the frame timing.
struct TimeVal32 {
  std::int32_t tv_sec = 0;
  std::int32_t tv_usec = 0;
};

// An action that runs for a fixed duration: step(dt) adds dt to elapsed and calls update with
// t = elapsed / duration, capped at 1 (a NaN quotient such as 0/0 is passed on unchanged).
// There is no plain construction: an interval action always has a duration.
class IntervalAction : public Action {
 public:
  explicit IntervalAction(double duration);
  static Ref<IntervalAction> actionWithDuration(double duration);

  double duration() const override { return duration_; }
  void setDuration(double d) { duration_ = d; }
  double elapsed() const { return elapsed_; }

  Ref<Action> copy() const override;  // same duration, no target
  // Reads the wall clock ("GetTimeOfDay" raised if it cannot be read) and zeroes elapsed.
  void start() override;
  bool isDone() const override { return elapsed_ >= duration_; }
  void step(double dt) override;

 protected:
  TimeVal32 lastUpdate_;
  double elapsed_ = 0.0;
  double duration_ = 0.0;
};

// An action that acts once, when started. step() sends update(1), which does nothing; it is done
// at once. Instant actions have no reverse.
class InstantAction : public Action {
 public:
  InstantAction() = default;
  static Ref<InstantAction> action();

  double duration() const override { return 0.0; }
  Ref<Action> copy() const override;
  bool isDone() const override { return true; }
  void step(double dt) override;
  void update(double t) override;
};

class Show : public InstantAction {
 public:
  static Ref<Show> action();
  void start() override;
  Ref<Action> copy() const override;
};

class Hide : public InstantAction {
 public:
  static Ref<Hide> action();
  void start() override;
  Ref<Action> copy() const override;
};

class ToggleVisibility : public InstantAction {
 public:
  static Ref<ToggleVisibility> action();
  void start() override;
  Ref<Action> copy() const override;
};

class Place : public InstantAction {
 public:
  explicit Place(Vec2 position) : position_(position) {}
  static Ref<Place> actionWithPosition(Vec2 position);
  Vec2 position() const { return position_; }
  void start() override;
  Ref<Action> copy() const override;

 private:
  Vec2 position_;
};

// Calls receiver->method() when started. The receiver is not owned.
class CallFunc : public InstantAction {
 public:
  explicit CallFunc(const Callback<void()>& callback) : callback_(callback) {}
  template <class C>
  static Ref<CallFunc> actionWithTarget(C* receiver, void (C::*method)()) {
    return make<CallFunc>(Callback<void()>(receiver, method));
  }
  void start() override;
  Ref<Action> copy() const override;
  virtual void execute();
  const Callback<void()>& callback() const { return callback_; }

 protected:
  CallFunc() = default;

 private:
  Callback<void()> callback_;
};

// Calls receiver->method(node) when started, passing the action's target node.
class CallFuncN : public CallFunc {
 public:
  explicit CallFuncN(const Callback<void(Node*)>& callback) : callbackN_(callback) {}
  template <class C>
  static Ref<CallFuncN> actionWithTarget(C* receiver, void (C::*method)(Node*)) {
    return make<CallFuncN>(Callback<void(Node*)>(receiver, method));
  }
  Ref<Action> copy() const override;
  void execute() override;
  const Callback<void(Node*)>& callbackN() const { return callbackN_; }

 private:
  Callback<void(Node*)> callbackN_;
};

}  // namespace peckish
