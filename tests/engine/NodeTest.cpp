#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "EngineTestSupport.h"
#include "engine/scene/Camera.h"
#include "engine/actions/CompositeActions.h"
#include "engine/scene/NodeOpacity.h"
#include "engine/actions/PropertyActions.h"
#include "engine/scene/Scene.h"

using namespace peckish;
using namespace peckish::test;

namespace {

class NodeTest : public EngineTest {
 protected:
  Ref<Recorder> rec(const std::string& name) { return make<Recorder>(&journal, name); }
  std::vector<std::string> journal;
};

// Records each update it receives; done after `duration`.
class Probe : public IntervalAction {
 public:
  explicit Probe(double d, std::vector<double>* updates = nullptr) : IntervalAction(d), updates_(updates) {}
  void update(double t) override {
    if (updates_) updates_->push_back(t);
    if (onUpdate) onUpdate();
  }
  void stop() override { ++stops; }
  Ref<Action> copy() const override { return make<Probe>(duration_, updates_); }
  std::function<void()> onUpdate;
  int stops = 0;

 private:
  std::vector<double>* updates_;
};

std::vector<std::string> childNames(Node& n, std::vector<std::string>& journal) {
  journal.clear();
  for (const auto& e : n.children()) e.node->draw();
  return journal;
}

TEST_F(NodeTest, ChildrenSortByZWithEqualZInInsertionOrder) {
  Ref<Node> parent = Node::node();
  parent->add(rec("first0"), 0)->add(rec("one"), 1)->add(rec("third0"), 0)->add(rec("minus"), -1);
  EXPECT_EQ(childNames(*parent, journal),
            (std::vector<std::string>{"minus:draw", "first0:draw", "third0:draw", "one:draw"}));
  std::vector<int> zs;
  for (const auto& e : parent->children()) zs.push_back(e.z);
  EXPECT_EQ(zs, (std::vector<int>{-1, 0, 0, 1}));
}

TEST_F(NodeTest, AddSetsParentAndNamesOutliveRemoveButNotRemoveByName) {
  Ref<Node> parent = Node::node();
  Ref<Node> child = Node::node();
  Node* ret = parent->add(child, 0, "hero");
  EXPECT_EQ(ret, parent.get());
  EXPECT_EQ(child->parent(), parent.get());
  EXPECT_EQ(parent->get("hero"), child.get());
  parent->remove(child.get());
  EXPECT_EQ(child->parent(), nullptr);
  EXPECT_TRUE(parent->children().empty());
  EXPECT_EQ(parent->get("hero"), child.get()) << "remove leaves the name resolvable";
  parent->add(child, 0, "hero");
  parent->removeByName("hero");
  EXPECT_EQ(parent->get("hero"), nullptr);
  EXPECT_TRUE(parent->children().empty());
  parent->remove(Node::node().get());  // not a child: ignored
}

TEST_F(NodeTest, EnterAndExitPropagateInOrder) {
  Ref<Recorder> parent = rec("p");
  Ref<Recorder> child = rec("c");
  parent->add(child);
  parent->onEnter();
  EXPECT_TRUE(child->isRunning());
  parent->onExit();
  EXPECT_FALSE(child->isRunning());
  EXPECT_EQ(journal, (std::vector<std::string>{"p:enter", "c:enter", "p:exit", "c:exit"}));
  journal.clear();
  parent->onEnter();
  Ref<Recorder> late = rec("late");
  parent->add(late);
  parent->remove(late.get());
  EXPECT_EQ(journal, (std::vector<std::string>{"p:enter", "c:enter", "late:enter", "late:exit"}));
  parent->onExit();
}

TEST_F(NodeTest, ChildrenChangedDuringAWalkAreEachEnteredOnce) {
  // The first child's onEnter adds a sibling in front and another behind and removes a later
  // sibling: the walk visits every remaining child once and nothing freed.
  Ref<Node> parent = Node::node();
  struct Meddler : Recorder {
    using Recorder::Recorder;
    Node* victim = nullptr;
    Ref<Node> front, back;
    void onEnter() override {
      Recorder::onEnter();
      if (!parent()) return;
      Node* p = parent();
      p->add(front, -5);
      p->add(back, 9);
      p->remove(victim);
    }
  };
  auto meddler = make<Meddler>(&journal, "m");
  auto victim = rec("victim");
  meddler->victim = victim.get();
  meddler->front = rec("front");
  meddler->back = rec("back");
  parent->add(meddler, 0)->add(rec("x"), 0)->add(victim, 1)->add(rec("y"), 2);
  victim = nullptr;
  parent->onEnter();
  auto count = [&](const std::string& s) { return std::count(journal.begin(), journal.end(), s); };
  EXPECT_EQ(count("m:enter"), 1);
  EXPECT_EQ(count("x:enter"), 1);
  EXPECT_EQ(count("y:enter"), 1);
  EXPECT_EQ(count("front:enter"), 1) << "entered by add on the running parent";
  EXPECT_EQ(count("back:enter"), 1) << "entered by add, and not again by the walk";
  // Leaving: the walk meets only the children that entered, each once.
  journal.clear();
  meddler->victim = nullptr;
  parent->onExit();
  EXPECT_EQ(count("m:exit") + count("x:exit") + count("y:exit") + count("front:exit") + count("back:exit"), 5);
  EXPECT_EQ(count("victim:enter"), 0);
  EXPECT_EQ(parent->children().size(), 5u);
  // The reverse walk tolerates removal of the entry being visited.
  int visited = 0;
  parent->forEachChildReverse([&](int, Node* c) {
    ++visited;
    parent->remove(c);
  });
  EXPECT_EQ(visited, 5);
  EXPECT_TRUE(parent->children().empty());
}

TEST_F(NodeTest, VisitDrawsNegativeZBeforeParentAndSkipsInvisibleSubtrees) {
  Ref<Recorder> parent = rec("p");
  parent->add(rec("a"), 1)->add(rec("b"), -1)->add(rec("c"), 0)->add(rec("d"), -2);
  parent->visit();
  EXPECT_EQ(journal, (std::vector<std::string>{"d:draw", "b:draw", "p:draw", "c:draw", "a:draw"}));
  journal.clear();
  parent->setVisible(false);
  parent->visit();
  EXPECT_TRUE(journal.empty());
}

TEST_F(NodeTest, DoStartsStepsStopsThenDropsAndUnschedules) {
  Ref<Scene> scene = Scene::node();
  scene->onEnter();
  Ref<Node> n = Node::node();
  scene->add(n);
  std::vector<double> updates;
  auto probe = make<Probe>(1.0, &updates);
  EXPECT_EQ(n->do_(probe), probe.get());
  EXPECT_EQ(probe->target(), n.get());
  TimerCallback step(n.get(), &Node::step_);
  EXPECT_TRUE(n->isScheduled(step));
  tick(0.5);
  tick(0.5);
  EXPECT_EQ(updates, (std::vector<double>{0.5, 1.0}));
  EXPECT_EQ(probe->stops, 1) << "stopped in the step that finished it";
  EXPECT_EQ(n->actions().size(), 1u);
  EXPECT_TRUE(n->isScheduled(step));
  tick(0.5);  // drops the action, finds the list empty and unschedules
  EXPECT_TRUE(n->actions().empty());
  EXPECT_FALSE(n->isScheduled(step));
  EXPECT_EQ(Scheduler::sharedScheduler()->timerCount(), 1u);
  tick(0.5);  // the timer has left the scheduler
  EXPECT_EQ(Scheduler::sharedScheduler()->timerCount(), 0u);
  EXPECT_EQ(updates.size(), 2u);
  scene->onExit();
}

TEST_F(NodeTest, StopDropsActionsWithoutStoppingThem) {
  Ref<Scene> scene = Scene::node();
  scene->onEnter();
  Ref<Node> n = Node::node();
  scene->add(n);
  std::vector<double> updates;
  auto p1 = make<Probe>(10.0, &updates);
  auto p2 = make<Probe>(10.0, &updates);
  n->do_(p1);
  n->do_(p2);
  tick(1);
  n->stop();
  tick(1);
  EXPECT_EQ(p1->stops + p2->stops, 0);
  EXPECT_TRUE(n->actions().empty());
  EXPECT_EQ(updates.size(), 2u);
  scene->onExit();
}

TEST_F(NodeTest, ActionStartedDuringAStepWaitsForTheNextStep) {
  Ref<Scene> scene = Scene::node();
  scene->onEnter();
  Ref<Node> n = Node::node();
  scene->add(n);
  std::vector<double> inner;
  auto late = make<Probe>(4.0, &inner);
  auto outer = make<Probe>(4.0);
  outer->onUpdate = [&] {
    if (!late->target()) n->do_(late);
  };
  n->do_(outer);
  tick(1);
  EXPECT_TRUE(inner.empty());
  EXPECT_EQ(n->actions().size(), 2u);
  tick(1);
  EXPECT_EQ(inner, (std::vector<double>{0.25}));
  scene->onExit();
  scene->cleanup();  // the scene leaves for good: its node's unfinished actions go with it
}

TEST_F(NodeTest, ActionsPauseOffStageAndResumeOnReEntry) {
  Ref<Scene> scene = Scene::node();
  scene->onEnter();
  Ref<Node> n = Node::node();
  std::vector<double> updates;
  n->do_(make<Probe>(4.0, &updates));  // not running yet: waits
  tick(1);
  EXPECT_TRUE(updates.empty());
  scene->add(n);
  tick(1);
  scene->remove(n.get());
  tick(1);
  tick(1);
  scene->add(n);
  tick(1);
  EXPECT_EQ(updates, (std::vector<double>{0.25, 0.5}));
  // Invisible nodes keep acting.
  n->setVisible(false);
  tick(1);
  EXPECT_EQ(updates.size(), 3u);
  scene->onExit();
  scene->cleanup();  // leaving for good drops the actions of every node in the scene
  EXPECT_TRUE(n->actions().empty());
}

// A plain node whose opacity the fade actions can drive.
struct FadingNode : Node, NodeOpacity {
  uint8_t opacity() const override { return opacity_; }
  void setOpacity(uint8_t o) override { opacity_ = o; }
  uint8_t opacity_ = 255;
};

TEST_F(NodeTest, OffStageOnlyInstantActionsFinishInsideDo) {
  struct Calls : Object {
    int n = 0;
    void call() { ++n; }
  };
  Ref<Calls> calls = make<Calls>();
  const struct Row {
    const char* name;
    std::function<Ref<Action>()> action;
    std::function<bool(FadingNode&)> applied;
    bool instant;
  } rows[] = {
      {"MoveTo 0", [] { return MoveTo::actionWithDuration(0, Vec2(7, 8)); },
       [](FadingNode& n) { return n.position() == Vec2(7, 8); }, false},
      {"ScaleTo 0", [] { return ScaleTo::actionWithDuration(0, 3.f); },
       [](FadingNode& n) { return n.scale() == 3.f; }, false},
      {"FadeTo 0", [] { return FadeTo::actionWithDuration(0, 10); },
       [](FadingNode& n) { return n.opacity() == 10; }, false},
      {"zero-length Sequence",
       [&] {
         return Sequence::actionOne(CallFunc::actionWithTarget(calls.get(), &Calls::call),
                                    CallFunc::actionWithTarget(calls.get(), &Calls::call));
       },
       [&](FadingNode&) { return calls->n == 2; }, false},
      {"Place", [] { return Place::actionWithPosition(Vec2(5, 6)); },
       [](FadingNode& n) { return n.position() == Vec2(5, 6); }, true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    calls->n = 0;
    Ref<Scene> scene = Scene::node();
    scene->onEnter();
    Ref<FadingNode> n = make<FadingNode>();
    n->do_(row.action());
    if (row.instant) {
      // Acted in do_ and is not kept waiting for a step.
      EXPECT_TRUE(row.applied(*n));
      EXPECT_TRUE(n->actions().empty());
    } else {
      // Waits in the list; its update(1) comes with its first step on stage.
      EXPECT_FALSE(row.applied(*n));
      ASSERT_EQ(n->actions().size(), 1u);
      scene->add(n);
      tick(0.1);
      EXPECT_TRUE(row.applied(*n));
      tick(0.1);
      EXPECT_TRUE(n->actions().empty());
    }
    scene->onExit();
    scene->cleanup();
  }
}

TEST_F(NodeTest, NodeRemovedByAnotherTimerKeepsItsActionsForReEntry) {
  Ref<Scene> scene = Scene::node();
  scene->onEnter();
  Ref<Recorder> remover = rec("remover");
  scene->add(remover);
  remover->schedule(&Recorder::tick);  // fires before the node's action step
  Ref<Node> n = Node::node();
  scene->add(n);
  std::vector<double> updates;
  n->do_(make<Probe>(4.0, &updates));
  tick(1);
  remover->onTick = [&] {
    scene->remove(n.get());
    remover->onTick = nullptr;
  };
  tick(1);  // the node leaves before its step, which still fires once in this tick
  EXPECT_EQ(n->actions().size(), 1u) << "a node removed by someone else keeps its actions";
  tick(1);
  scene->add(n);
  tick(1);
  EXPECT_EQ(updates, (std::vector<double>{0.25, 0.5, 0.75}));
  scene->onExit();
  scene->cleanup();
}

TEST_F(NodeTest, NewNodeDefaultsAndSceneAnchor) {
  Ref<Node> n = Node::node();
  EXPECT_EQ(n->rotation(), 0.f);
  EXPECT_EQ(n->scale(), 1.f);
  EXPECT_EQ(n->position(), vzero);
  EXPECT_TRUE(n->visible());
  ASSERT_NE(n->camera(), nullptr);
  EXPECT_FALSE(n->camera()->dirty());
  EXPECT_FALSE(n->isRunning());
  Ref<Scene> s = Scene::node();
  EXPECT_EQ(s->transformAnchor(), Vec2(160, 240));
}

}  // namespace
