#include <gtest/gtest.h>

#include "EngineTestSupport.h"
#include "core/Exception.h"
#include "engine/scene/Scene.h"

using namespace peckish;
using namespace peckish::test;

namespace {

template <class F>
void expectRaise(F&& f, const char* name, const char* reason) {
  try {
    f();
    ADD_FAILURE() << "expected " << name;
  } catch (const Exception& e) {
    EXPECT_EQ(e.name(), name);
    EXPECT_EQ(e.reason(), reason);
  }
}

class SchedulerTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    root = Scene::node();
    root->onEnter();
  }
  void TearDown() override {
    root->onExit();
    root = nullptr;
    EngineTest::TearDown();
  }
  Ref<Recorder> addRecorder(const std::string& name, bool* destroyed = nullptr) {
    Ref<Recorder> r = make<Recorder>(&journal, name, destroyed);
    root->add(r);
    return r;
  }
  std::vector<std::string> journal;
  Ref<Scene> root;
};

TEST_F(SchedulerTest, TimerJoinsOnTheTickAfterItWasScheduled) {
  auto a = addRecorder("a");
  auto b = addRecorder("b");
  a->schedule(&Recorder::tick);
  tick();  // a joins and fires
  EXPECT_EQ(a->ticks, 1);
  a->onTick = [&] {
    if (!b->isScheduled(TimerCallback(b.get(), &Recorder::tick))) b->schedule(&Recorder::tick);
  };
  tick(0.1);
  EXPECT_EQ(b->ticks, 0) << "scheduled during a tick, it must wait for the next one";
  tick(0.25);
  EXPECT_EQ(b->ticks, 1);
  EXPECT_DOUBLE_EQ(b->lastDt, 0.25);
}

TEST_F(SchedulerTest, ScheduleTwiceIsOneTimer) {
  auto a = addRecorder("a");
  a->schedule(&Recorder::tick);
  a->schedule(&Recorder::tick);
  tick();
  tick();
  EXPECT_EQ(a->ticks, 2);
  EXPECT_EQ(Scheduler::sharedScheduler()->timerCount(), 1u);
}

TEST_F(SchedulerTest, CallbackUnschedulingItselfReturnsAndStopsFromNextTick) {
  auto a = addRecorder("a");
  a->schedule(&Recorder::tick);
  a->onTick = [&] { a->unschedule(&Recorder::tick); };
  EXPECT_NO_THROW(tick());
  EXPECT_EQ(a->ticks, 1);
  tick();
  tick();
  EXPECT_EQ(a->ticks, 1);
  EXPECT_EQ(Scheduler::sharedScheduler()->timerCount(), 0u);
}

TEST_F(SchedulerTest, TimerUnscheduledEarlierInThePassStillFiresOnceThatPass) {
  auto a = addRecorder("a");
  auto b = addRecorder("b");
  a->schedule(&Recorder::tick);
  b->schedule(&Recorder::tick);
  tick();
  a->onTick = [&] {
    if (b->isScheduled(TimerCallback(b.get(), &Recorder::tick))) b->unschedule(&Recorder::tick);
  };
  tick();
  EXPECT_EQ(b->ticks, 2);
  tick();
  EXPECT_EQ(b->ticks, 2);
}

TEST_F(SchedulerTest, UnscheduleOfUnknownOperationLogsAndRaises) {
  auto a = addRecorder("a");
  LogCapture log;
  expectRaise([&] { a->unschedule(&Recorder::tick); }, "SelectorNotScheduled", "Selector not scheduled");
  EXPECT_EQ(log.count("selector not scheduled"), 1);
}

TEST_F(SchedulerTest, RemoveAndReAddWithinOneFrameKeepsFiringOncePerTick) {
  auto a = addRecorder("a");
  a->schedule(&Recorder::tick);
  tick();
  ASSERT_EQ(a->ticks, 1);
  root->remove(a.get());
  root->add(a);
  tick();
  EXPECT_EQ(a->ticks, 2);
  tick();
  EXPECT_EQ(a->ticks, 3);
  // And the same from inside a tick of another node.
  auto mover = addRecorder("mover");
  mover->schedule(&Recorder::tick);
  tick();
  int before = a->ticks;
  mover->onTick = [&] {
    root->remove(a.get());
    root->add(a);
  };
  tick();
  tick();
  EXPECT_EQ(a->ticks, before + 2);
  EXPECT_EQ(Scheduler::sharedScheduler()->timerCount(), 2u);
}

TEST_F(SchedulerTest, SchedulerFailuresCarryTheirNamesAndLogLines) {
  Scheduler* s = Scheduler::sharedScheduler();
  auto a = addRecorder("a");
  Ref<Timer> t = Timer::timerWithTarget(a.get(), &Recorder::tick);
  expectRaise([&] { s->unscheduleTimer(t.get()); }, "SchedulerTimerNotFound", "Scheduler.unscheduleTimer not found");
  s->scheduleTimer(t.get());
  {
    LogCapture log;
    expectRaise([&] { s->scheduleTimer(t.get()); }, "SchedulerTimerAlreadyScheduled",
                "Scheduler.scheduleTimer already scheduled");
    EXPECT_TRUE(log.contains("Scheduler.schedulerTimer: timer already scheduled"));
  }
  // Pending addition withdrawn before it joins: never fires.
  s->unscheduleTimer(t.get());
  tick();
  EXPECT_EQ(a->ticks, 0);
  expectRaise([] { Timer timer{TimerCallback()}; }, "TimerInvalid", "Invalid init for Timer. Use initWithTarget:sel:");
}

TEST_F(SchedulerTest, PendingRemovalIsCancelledByRescheduling) {
  Scheduler* s = Scheduler::sharedScheduler();
  auto a = addRecorder("a");
  Ref<Timer> t = s->scheduleTarget(a.get(), &Recorder::tick);
  tick();
  s->unscheduleTimer(t.get());
  s->unscheduleTimer(t.get());  // asked twice: still one pending removal
  s->scheduleTimer(t.get());
  EXPECT_FALSE(s->isPendingRemoval(t.get()));
  tick();
  EXPECT_EQ(a->ticks, 2);
}

TEST_F(SchedulerTest, TargetReleasedDuringATickIsNotCalledAfterItWasFreed) {
  bool bDestroyed = false;
  auto a = addRecorder("a");
  Ref<Recorder> b = addRecorder("b", &bDestroyed);
  a->schedule(&Recorder::tick);
  b->schedule(&Recorder::tick);
  tick();
  Recorder* rawB = b.get();
  bool calledWhileDestroyed = false;
  b->onTick = [&] { calledWhileDestroyed = bDestroyed; };
  b = nullptr;  // only the scene holds b now
  a->onTick = [&] {
    if (!rawB) return;
    rawB->unschedule(&Recorder::tick);
    root->remove(rawB);  // drops the scene's reference during the pass
    rawB = nullptr;
  };
  tick();  // b still fires later in this pass: it must still be alive
  EXPECT_FALSE(calledWhileDestroyed);
  EXPECT_FALSE(bDestroyed);
  tick();  // the timer leaves the list and lets go of b
  EXPECT_TRUE(bDestroyed);
}

TEST_F(SchedulerTest, TimersOfANodeOffStageWaitForItToEnter) {
  Ref<Recorder> a = make<Recorder>(&journal, "a");
  a->schedule(&Recorder::tick);
  tick();
  EXPECT_EQ(a->ticks, 0);
  root->add(a);
  tick();
  EXPECT_EQ(a->ticks, 1);
  // Off stage, unscheduling just forgets the timer (it already left with onExit).
  root->remove(a.get());
  EXPECT_NO_THROW(a->unschedule(&Recorder::tick));
  tick();
  root->add(a);
  tick();
  EXPECT_EQ(a->ticks, 1);
}

}  // namespace
