#pragma once
// The main thread's run loop: repeating and one-shot timers, tasks posted from any thread, and the
// event pump of the window back end. The clock is replaceable: with a FakeClock the loop never
// waits, it jumps the clock to the next due timer, so a headless game runs reproducibly and tests
// drive frames by hand.
#include <sys/time.h>

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "core/Callback.h"

namespace peckish::platform {

class Clock {
 public:
  virtual ~Clock() = default;
  virtual double now() const = 0;  // seconds (wall clock for the system clock)
};

class SystemClock final : public Clock {
 public:
  double now() const override;
};

class FakeClock final : public Clock {
 public:
  explicit FakeClock(double start = 1000000.0) : t_(start) {}
  double now() const override { return t_; }
  void set(double t) { t_ = t; }
  void advance(double dt) { t_ += dt; }

 private:
  double t_;
};

using Task = std::function<void()>;

class RunLoop {
 public:
  using TimerId = std::uint64_t;

  // The loop of the thread that first asked for it is the main loop.
  static RunLoop& main();

  // Timers fire on the main thread in order of due time (ties: order of creation).
  TimerId addTimer(double interval, bool repeats, Callback<void()> fire);
  void invalidateTimer(TimerId id);
  bool isValid(TimerId id) const;
  size_t timerCount() const { return timers_.size(); }

  // Any thread: run task on the main thread at the next turn of the loop.
  void post(Task task);

  // One turn: posted tasks, due timers, events. Waits up to maxWait seconds (never with a fake
  // clock) for something to do. Returns false once stop() was called.
  bool runOnce(double maxWait = 0.0);
  // Turns until stop(). With a fake clock, the clock jumps straight to each next due timer.
  void run();
  void stop();
  bool stopped() const { return stopped_; }
  void resetStop() { stopped_ = false; }

  // Fake-clock helper: advances the clock by dt, firing every timer due on the way at its time.
  void advance(double dt);

  void setClock(Clock* clock);  // nullptr restores the system clock; not owned
  Clock& clock() const { return *clock_; }
  double now() const { return clock_->now(); }
  bool usesFakeClock() const { return clock_ != &systemClock_; }

  // The window back end's event pump, called once a turn with the time it may block.
  void setEventPump(std::function<void(double maxWait)> pump) { pump_ = std::move(pump); }
  // Called (on the posting thread) after post() queued a task, so a pump blocked in its own wait
  // (the window's event queue) wakes up. Must be thread-safe.
  void setWakeup(std::function<void()> wakeup);
  // Due time of the earliest timer (infinity when there is none).
  double nextTimerDue() const { return nextDue(); }

  bool isMainThread() const { return std::this_thread::get_id() == mainThread_; }

  // Tests: drop every timer and queued task, restore the system clock.
  void reset();

 private:
  RunLoop();
  struct TimerEntry {
    TimerId id;
    double interval;
    double due;
    bool repeats;
    Callback<void()> fire;
  };
  void runTasks();
  bool fireDueTimers();
  double nextDue() const;

  SystemClock systemClock_;
  Clock* clock_;
  std::vector<TimerEntry> timers_;
  TimerId nextId_ = 1;
  mutable std::mutex taskMutex_;
  std::condition_variable taskCv_;
  std::deque<Task> tasks_;
  std::function<void(double)> pump_;
  std::function<void()> wakeup_;  // guarded by taskMutex_
  std::thread::id mainThread_;
  bool stopped_ = false;
};

// gettimeofday through the main loop's clock; 0 on success, -1 on failure.
int getTimeOfDay(timeval* tv);

}  // namespace peckish::platform
