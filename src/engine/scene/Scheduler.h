#pragma once
// Timer and Scheduler: every scheduled timer fires once per frame with the frame time.
//
// Additions and removals requested while the scheduler fires are deferred: they are collected in
// two side lists and applied at the start of the next tick, so the firing list never changes during
// a pass. A timer scheduled during a tick therefore fires first on the next tick; one unscheduled
// during a tick may still fire later in the same pass; unscheduling and rescheduling the same timer
// before the next tick cancel out.
//
// While a timer is pending addition or in the firing list the scheduler holds a reference to its
// target (when the target is a reference-counted object), so a target released during a tick is
// never called after it was freed; the reference is dropped when the timer leaves the list.
#include <vector>

#include "core/Callback.h"
#include "core/Object.h"
#include "core/Singleton.h"

namespace peckish {

using TimerCallback = Callback<void(double)>;

class Timer : public Object {
 public:
  // Raises "TimerInvalid" for a callback without a receiver.
  explicit Timer(const TimerCallback& callback);
  template <class C>
  static Ref<Timer> timerWithTarget(C* target, void (C::*method)(double)) {
    return make<Timer>(TimerCallback(target, method));
  }
  // Calls the target's member function with dt.
  void fire(double dt) const { callback_(dt); }
  const TimerCallback& callback() const { return callback_; }
  // The target as a reference-counted object (null if it is not one). Not owned by the timer.
  Object* target() const { return callback_.object(); }

 private:
  TimerCallback callback_;
};

class Scheduler : public Object, public Singleton<Scheduler> {
 public:
  static Scheduler* sharedScheduler() { return shared(); }

  // Cancels a pending removal, or queues the timer to join at the next tick. Logs and raises
  // "SchedulerTimerAlreadyScheduled" when it is already firing or pending addition.
  void scheduleTimer(Timer* timer);
  // Cancels a pending addition, or queues the timer's removal at the next tick. Raises
  // "SchedulerTimerNotFound" when the timer is neither pending addition nor firing.
  void unscheduleTimer(Timer* timer);
  // Makes a timer and queues it for addition without the duplicate checks.
  Ref<Timer> scheduleTarget(const TimerCallback& callback);
  template <class C>
  Ref<Timer> scheduleTarget(C* target, void (C::*method)(double)) {
    return scheduleTarget(TimerCallback(target, method));
  }

  // Applies the pending removals, then the pending additions, then fires every timer with dt.
  void tick(double dt);

  // Introspection.
  bool isFiring(const Timer* t) const;
  bool isPendingAddition(const Timer* t) const;
  bool isPendingRemoval(const Timer* t) const;
  size_t timerCount() const { return scheduledMethods_.size(); }

 private:
  friend class Singleton<Scheduler>;
  Scheduler();
  ~Scheduler() override;

  struct Entry {
    Ref<Timer> timer;
    Ref<Object> target;  // keeps the target alive while the timer is listed
  };
  std::vector<Entry> scheduledMethods_;
  std::vector<Ref<Timer>> methodsToRemove_;
  std::vector<Entry> methodsToAdd_;
};

}  // namespace peckish
