// The main run loop: timers in due order on the fake clock, tasks posted from other threads, and
// the window's event pump waking for them.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "platform/Display.h"
#include "platform/RunLoop.h"

namespace peckish::test {
namespace {

using platform::RunLoop;

struct Recorder {
  std::vector<std::string>* log;
  std::string name;
  void fire() { log->push_back(name); }
};

class RunLoopTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RunLoop::main().reset();
    RunLoop::main().setClock(&clock);
  }
  void TearDown() override { RunLoop::main().reset(); }
  platform::FakeClock clock{100.0};
};

TEST_F(RunLoopTest, TimersFireInDueOrderAtTheirOwnTimesOnTheFakeClock) {
  std::vector<std::string> log;
  std::vector<double> times;
  Recorder a{&log, "a"}, b{&log, "b"}, c{&log, "c"}, d{&log, "d"};
  auto& loop = RunLoop::main();
  loop.addTimer(0.375, false, Callback<void()>(&a, &Recorder::fire));
  loop.addTimer(0.125, true, Callback<void()>(&b, &Recorder::fire));
  loop.addTimer(0.25, false, Callback<void()>(&c, &Recorder::fire));
  const auto dId = loop.addTimer(0.25, true, Callback<void()>(&d, &Recorder::fire));
  loop.advance(0.4);
  // b at 1/8, 2/8 and 3/8; at equal times the timer created first fires first.
  EXPECT_EQ(log, (std::vector<std::string>{"b", "b", "c", "d", "a", "b"}));
  EXPECT_DOUBLE_EQ(loop.now(), 100.4);
  EXPECT_FALSE(loop.isValid(0));
  EXPECT_TRUE(loop.isValid(dId));
  loop.invalidateTimer(dId);
  log.clear();
  loop.advance(0.125);
  EXPECT_EQ(log, (std::vector<std::string>{"b"}));
  EXPECT_EQ(loop.timerCount(), 1u) << "one-shot and invalidated timers are gone";
}

TEST_F(RunLoopTest, LateRepeatingTimerFiresOnceNotInABurst) {
  std::vector<std::string> log;
  Recorder b{&log, "b"};
  RunLoop::main().addTimer(0.1, true, Callback<void()>(&b, &Recorder::fire));
  clock.advance(1.0);
  RunLoop::main().runOnce();
  EXPECT_EQ(log.size(), 1u);
  EXPECT_DOUBLE_EQ(RunLoop::main().nextTimerDue(), 101.1);
}

TEST_F(RunLoopTest, TaskPostedFromAnotherThreadRunsOnTheMainThread) {
  std::atomic<bool> ran{false};
  std::thread::id ranOn;
  std::thread worker([&] {
    RunLoop::main().post([&] {
      ranOn = std::this_thread::get_id();
      ran = true;
    });
  });
  worker.join();
  EXPECT_FALSE(ran) << "nothing runs before the loop turns";
  RunLoop::main().runOnce();
  EXPECT_TRUE(ran);
  EXPECT_EQ(ranOn, std::this_thread::get_id());
  EXPECT_TRUE(RunLoop::main().isMainThread());
}

TEST_F(RunLoopTest, PostedTaskWakesTheWindowEventPump) {
  RunLoop::main().setClock(nullptr);  // the real clock: the pump really waits
  auto* display = platform::Display::openHeadless();
  ASSERT_NE(display, nullptr);
  display->attachToRunLoop();
  std::atomic<bool> ran{false};
  std::thread worker([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    RunLoop::main().post([&] { ran = true; });
  });
  const auto start = std::chrono::steady_clock::now();
  while (!ran && std::chrono::steady_clock::now() - start < std::chrono::seconds(5)) RunLoop::main().runOnce(5.0);
  const auto waited = std::chrono::steady_clock::now() - start;
  worker.join();
  EXPECT_TRUE(ran);
  EXPECT_LT(waited, std::chrono::seconds(2)) << "the pump should wake for the task, not sleep out its wait";
}

TEST_F(RunLoopTest, TimeOfDayReadsTheLoopClock) {
  clock.set(1234.5);
  timeval tv{};
  ASSERT_EQ(platform::getTimeOfDay(&tv), 0);
  EXPECT_EQ(tv.tv_sec, 1234);
  EXPECT_EQ(tv.tv_usec, 500000);
  EXPECT_EQ(platform::getTimeOfDay(nullptr), -1);
}

}  // namespace
}  // namespace peckish::test
