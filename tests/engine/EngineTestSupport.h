#pragma once
// Shared helpers of the engine tests: a fresh scheduler and a fake clock per test, and nodes that
// record what happens to them.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "core/Log.h"
#include "engine/actions/Action.h"
#include "engine/scene/Node.h"
#include "engine/scene/Scheduler.h"
#include "platform/RunLoop.h"

namespace peckish::test {

class EngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Scheduler::purgeShared();
    platform::RunLoop::main().reset();
    platform::RunLoop::main().setClock(&clock);
  }
  void TearDown() override {
    Scheduler::purgeShared();
    platform::RunLoop::main().reset();
  }
  static void tick(double dt = 0.1) { Scheduler::sharedScheduler()->tick(dt); }

  platform::FakeClock clock;
};

// An engine test whose nodes are put on stage, so their action steps run with the scheduler's
// ticks; at the end their actions (which hold their nodes) are dropped and the nodes leave.
class StagedEngineTest : public EngineTest {
 protected:
  void TearDown() override {
    for (auto& n : staged_) n->stop();
    tick(0.0);
    tick(0.0);
    for (auto& n : staged_) n->onExit();
    staged_.clear();
    EngineTest::TearDown();
  }
  template <class T = Node>
  Ref<T> stageNode() {
    Ref<T> n = make<T>();
    n->onEnter();
    staged_.push_back(n);
    return n;
  }

  std::vector<Ref<Node>> staged_;
};

// Appends "<name>:<event>" to a shared journal for enter, exit, draw and its tick.
class Recorder : public Node {
 public:
  Recorder(std::vector<std::string>* journal, std::string name, bool* destroyed = nullptr)
      : journal_(journal), name_(std::move(name)), destroyed_(destroyed) {}
  ~Recorder() override {
    if (destroyed_) *destroyed_ = true;
  }
  void onEnter() override {
    journal_->push_back(name_ + ":enter");
    Node::onEnter();
  }
  void onExit() override {
    journal_->push_back(name_ + ":exit");
    Node::onExit();
  }
  void draw() override {
    journal_->push_back(name_ + ":draw");
    if (onDraw) onDraw();
  }
  void tick(double dt) {
    journal_->push_back(name_ + ":tick");
    lastDt = dt;
    ++ticks;
    if (onTick) onTick();
  }
  std::function<void()> onTick;
  std::function<void()> onDraw;
  double lastDt = 0;
  int ticks = 0;

 private:
  std::vector<std::string>* journal_;
  std::string name_;
  bool* destroyed_;
};

}  // namespace peckish::test
