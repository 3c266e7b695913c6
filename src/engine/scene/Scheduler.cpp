#include "engine/scene/Scheduler.h"

#include <algorithm>

#include "core/Exception.h"
#include "core/Log.h"

namespace peckish {

Timer::Timer(const TimerCallback& callback) : callback_(callback) {
  if (!callback_) raise("TimerInvalid", "Invalid init for Timer. Use initWithTarget:sel:");
}

Scheduler::Scheduler() {
  scheduledMethods_.reserve(50);
  methodsToRemove_.reserve(20);
  methodsToAdd_.reserve(20);
}

Scheduler::~Scheduler() = default;

namespace {
template <class V>
auto findTimer(V& v, const Timer* t) {
  return std::find_if(v.begin(), v.end(), [t](const auto& e) { return e.timer.get() == t; });
}
}  // namespace

bool Scheduler::isFiring(const Timer* t) const { return findTimer(scheduledMethods_, t) != scheduledMethods_.end(); }
bool Scheduler::isPendingAddition(const Timer* t) const { return findTimer(methodsToAdd_, t) != methodsToAdd_.end(); }
bool Scheduler::isPendingRemoval(const Timer* t) const {
  return std::any_of(methodsToRemove_.begin(), methodsToRemove_.end(), [t](const auto& r) { return r.get() == t; });
}

void Scheduler::scheduleTimer(Timer* timer) {
  if (!timer) return;
  if (isPendingRemoval(timer)) {
    // The removal is cancelled; the timer stays in the firing list.
    std::erase_if(methodsToRemove_, [timer](const auto& r) { return r.get() == timer; });
    return;
  }
  if (isFiring(timer) || isPendingAddition(timer)) {
    engineLog("Scheduler.schedulerTimer: timer already scheduled");
    raise("SchedulerTimerAlreadyScheduled", "Scheduler.scheduleTimer already scheduled");
  }
  methodsToAdd_.push_back(Entry{Ref<Timer>(timer), Ref<Object>(timer->target())});
}

void Scheduler::unscheduleTimer(Timer* timer) {
  if (!timer) return;
  auto pending = findTimer(methodsToAdd_, timer);
  if (pending != methodsToAdd_.end()) {
    Entry gone = std::move(*pending);  // released after the list is consistent again
    methodsToAdd_.erase(pending);
    return;
  }
  if (isFiring(timer)) {
    if (!isPendingRemoval(timer)) methodsToRemove_.emplace_back(timer);
    return;
  }
  raise("SchedulerTimerNotFound", "Scheduler.unscheduleTimer not found");
}

Ref<Timer> Scheduler::scheduleTarget(const TimerCallback& callback) {
  Ref<Timer> timer = make<Timer>(callback);
  methodsToAdd_.push_back(Entry{timer, Ref<Object>(timer->target())});
  return timer;
}

void Scheduler::tick(double dt) {
  // Dropping a timer may release its target and, with it, the last owner of other timers whose
  // release touches these lists again; so detach each removed entry before letting it go.
  while (!methodsToRemove_.empty()) {
    Ref<Timer> t = std::move(methodsToRemove_.back());
    methodsToRemove_.pop_back();
    for (auto it = scheduledMethods_.begin(); it != scheduledMethods_.end();) {
      if (it->timer.get() == t.get()) {
        Entry gone = std::move(*it);
        it = scheduledMethods_.erase(it);
        // gone is released here; it may destroy its target, which only owns its timers.
      } else {
        ++it;
      }
    }
  }
  if (!methodsToAdd_.empty()) {
    for (auto& e : methodsToAdd_) scheduledMethods_.push_back(std::move(e));
    methodsToAdd_.clear();
  }
  // The firing list does not change during this pass: additions and removals wait in the side
  // lists. Each entry holds its timer and target for the length of the call.
  const size_t n = scheduledMethods_.size();
  for (size_t i = 0; i < n; ++i) scheduledMethods_[i].timer->fire(dt);
}

}  // namespace peckish
