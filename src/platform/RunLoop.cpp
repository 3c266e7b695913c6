#include "platform/RunLoop.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <limits>

namespace peckish::platform {

double SystemClock::now() const {
  timeval tv{};
  ::gettimeofday(&tv, nullptr);
  return static_cast<double>(tv.tv_sec) + tv.tv_usec / 1e6;
}

RunLoop::RunLoop() : clock_(&systemClock_), mainThread_(std::this_thread::get_id()) {}

RunLoop& RunLoop::main() {
  static RunLoop loop;
  return loop;
}

RunLoop::TimerId RunLoop::addTimer(double interval, bool repeats, Callback<void()> fire) {
  TimerId id = nextId_++;
  timers_.push_back(TimerEntry{id, interval, now() + interval, repeats, fire});
  return id;
}

void RunLoop::invalidateTimer(TimerId id) {
  for (auto& t : timers_) {
    if (t.id == id) t.id = 0;  // swept after the current firing pass
  }
}

bool RunLoop::isValid(TimerId id) const {
  return id != 0 && std::any_of(timers_.begin(), timers_.end(), [id](const TimerEntry& t) { return t.id == id; });
}

void RunLoop::post(Task task) {
  std::function<void()> wakeup;
  {
    std::lock_guard<std::mutex> lock(taskMutex_);
    tasks_.push_back(std::move(task));
    wakeup = wakeup_;
  }
  taskCv_.notify_one();
  if (wakeup) wakeup();
}

void RunLoop::setWakeup(std::function<void()> wakeup) {
  std::lock_guard<std::mutex> lock(taskMutex_);
  wakeup_ = std::move(wakeup);
}

void RunLoop::runTasks() {
  // Most turns have nothing queued: look before making a batch, so an idle turn allocates nothing.
  {
    std::lock_guard<std::mutex> lock(taskMutex_);
    if (tasks_.empty()) return;
  }
  std::deque<Task> batch;
  {
    std::lock_guard<std::mutex> lock(taskMutex_);
    batch.swap(tasks_);
  }
  for (auto& t : batch) t();
}

double RunLoop::nextDue() const {
  double due = std::numeric_limits<double>::infinity();
  for (const auto& t : timers_)
    if (t.id != 0) due = std::min(due, t.due);
  return due;
}

bool RunLoop::fireDueTimers() {
  const double t = now();
  bool fired = false;
  // Fire in due order; timers added while firing wait for the next pass.
  const size_t count = timers_.size();
  for (;;) {
    size_t best = count;
    for (size_t i = 0; i < count && i < timers_.size(); ++i) {
      const auto& e = timers_[i];
      if (e.id != 0 && e.due <= t && (best == count || e.due < timers_[best].due)) best = i;
    }
    if (best == count) break;
    TimerEntry& e = timers_[best];
    TimerId id = e.id;
    Callback<void()> fire = e.fire;
    if (e.repeats) {
      e.due += e.interval;
      if (e.due <= t) e.due = t + e.interval;  // a late timer does not fire a burst
    } else {
      e.id = 0;
    }
    fired = true;
    fire();
    (void)id;
  }
  timers_.erase(std::remove_if(timers_.begin(), timers_.end(), [](const TimerEntry& e) { return e.id == 0; }),
                timers_.end());
  return fired;
}

bool RunLoop::runOnce(double maxWait) {
  runTasks();
  fireDueTimers();
  if (stopped_) return false;
  double wait = 0.0;
  if (!usesFakeClock()) {
    bool haveTasks;
    {
      std::lock_guard<std::mutex> lock(taskMutex_);
      haveTasks = !tasks_.empty();
    }
    if (!haveTasks) wait = std::max(0.0, std::min(maxWait, nextDue() - now()));
  }
  if (pump_) {
    pump_(wait);
  } else if (wait > 0) {
    std::unique_lock<std::mutex> lock(taskMutex_);
    taskCv_.wait_for(lock, std::chrono::duration<double>(wait), [this] { return !tasks_.empty(); });
  }
  runTasks();
  return !stopped_;
}

void RunLoop::run() {
  stopped_ = false;
  while (!stopped_) {
    if (usesFakeClock()) {
      auto* fake = dynamic_cast<FakeClock*>(clock_);
      double due = nextDue();
      if (fake && std::isfinite(due) && due > now()) fake->set(due);
      runOnce(0.0);
    } else {
      runOnce(0.25);
    }
  }
}

void RunLoop::stop() {
  stopped_ = true;
  taskCv_.notify_all();
}

void RunLoop::advance(double dt) {
  auto* fake = dynamic_cast<FakeClock*>(clock_);
  if (!fake) return;
  const double end = now() + dt;
  runTasks();
  for (;;) {
    double due = nextDue();
    if (!(due <= end)) break;
    if (due > now()) fake->set(due);
    fireDueTimers();
    runTasks();
  }
  fake->set(end);
  runTasks();
}

void RunLoop::setClock(Clock* clock) { clock_ = clock ? clock : &systemClock_; }

void RunLoop::reset() {
  timers_.clear();
  {
    std::lock_guard<std::mutex> lock(taskMutex_);
    tasks_.clear();
    wakeup_ = nullptr;
  }
  clock_ = &systemClock_;
  stopped_ = false;
  pump_ = nullptr;
}

int getTimeOfDay(timeval* tv) {
  if (!tv) return -1;
  double t = RunLoop::main().now();
  if (!std::isfinite(t) || t < 0) return -1;
  double sec = std::floor(t);
  tv->tv_sec = static_cast<time_t>(sec);
  tv->tv_usec = static_cast<suseconds_t>(std::llround((t - sec) * 1e6));
  if (tv->tv_usec >= 1000000) {
    tv->tv_sec += 1;
    tv->tv_usec -= 1000000;
  }
  return 0;
}

}  // namespace peckish::platform
