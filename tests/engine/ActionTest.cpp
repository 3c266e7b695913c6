#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "EngineTestSupport.h"
#include "core/Exception.h"
#include "engine/actions/CompositeActions.h"
#include "engine/actions/PropertyActions.h"
#include "engine/scene/Scene.h"

using namespace peckish;
using namespace peckish::test;

namespace {

class Probe : public IntervalAction {
 public:
  explicit Probe(double d) : IntervalAction(d) {}
  void update(double t) override { updates.push_back(t); }
  Ref<Action> copy() const override { return make<Probe>(duration_); }
  std::vector<double> updates;
};

class ActionTest : public EngineTest {};

TEST_F(ActionTest, IntervalProgressReachesExactlyOneAndIsDoneThen) {
  Probe quarters(2.0);
  quarters.start();
  for (int i = 0; i < 4; ++i) {
    EXPECT_FALSE(quarters.isDone());
    quarters.step(0.5);
  }
  EXPECT_EQ(quarters.updates, (std::vector<double>{0.25, 0.5, 0.75, 1.0}));
  EXPECT_TRUE(quarters.isDone());

  Probe longFrames(2.0);
  longFrames.start();
  longFrames.step(1.5);
  EXPECT_FALSE(longFrames.isDone());
  longFrames.step(1.5);
  EXPECT_EQ(longFrames.updates, (std::vector<double>{0.75, 1.0}));
  EXPECT_TRUE(longFrames.isDone());
  EXPECT_DOUBLE_EQ(longFrames.elapsed(), 3.0);
}

TEST_F(ActionTest, ZeroDurationIsDoneOnItsFirstStep) {
  Probe zero(0.0);
  zero.start();
  EXPECT_TRUE(zero.isDone());
  zero.step(0.1);
  ASSERT_EQ(zero.updates.size(), 1u);
  EXPECT_EQ(zero.updates[0], 1.0);
  // A zero frame time gives 0/0, passed on as it is.
  Probe still(0.0);
  still.start();
  still.step(0.0);
  ASSERT_EQ(still.updates.size(), 1u);
  EXPECT_TRUE(std::isnan(still.updates[0]));
}

TEST_F(ActionTest, StartingAgainRunsAnew) {
  Probe p(1.0);
  p.start();
  p.step(1.0);
  ASSERT_TRUE(p.isDone());
  p.start();
  EXPECT_FALSE(p.isDone());
  EXPECT_EQ(p.elapsed(), 0.0);
  p.step(0.25);
  EXPECT_EQ(p.updates.back(), 0.25);
}

TEST_F(ActionTest, InstantActionsActInsideDo) {
  Ref<Node> n = Node::node();
  n->do_(Place::actionWithPosition(Vec2(12, 34)));
  EXPECT_EQ(n->position(), Vec2(12, 34));
  n->do_(Hide::action());
  EXPECT_FALSE(n->visible());
  n->do_(Show::action());
  EXPECT_TRUE(n->visible());
  n->do_(ToggleVisibility::action());
  n->do_(ToggleVisibility::action());
  EXPECT_TRUE(n->visible()) << "toggling twice restores the visibility";
  n->setVisible(false);
  n->do_(ToggleVisibility::action());
  n->do_(ToggleVisibility::action());
  EXPECT_FALSE(n->visible());
}

struct Receiver : Object {
  int calls = 0;
  Node* got = nullptr;
  void ping() { ++calls; }
  void withNode(Node* n) {
    ++calls;
    got = n;
  }
};

TEST_F(ActionTest, CallFuncCallsAndCallFuncNPassesTheTargetNode) {
  Receiver r;
  Ref<Node> n = Node::node();
  n->do_(CallFunc::actionWithTarget(&r, &Receiver::ping));
  EXPECT_EQ(r.calls, 1);
  n->do_(CallFuncN::actionWithTarget(&r, &Receiver::withNode));
  EXPECT_EQ(r.calls, 2);
  EXPECT_EQ(r.got, n.get());
  // Stepping an instant action does not call again; it is done at once.
  auto cf = CallFunc::actionWithTarget(&r, &Receiver::ping);
  cf->step(0.1);
  EXPECT_TRUE(cf->isDone());
  EXPECT_EQ(r.calls, 2);
}

TEST_F(ActionTest, InstantActionFinishesAfterOneStepOnTheNode) {
  Ref<Scene> scene = Scene::node();
  scene->onEnter();
  Ref<Node> n = Node::node();
  scene->add(n);
  n->do_(Hide::action());
  tick();
  tick();
  EXPECT_TRUE(n->actions().empty());
  scene->onExit();
}

TEST_F(ActionTest, CopiesStartFreshWithoutTarget) {
  Ref<Node> n = Node::node();
  auto interval = IntervalAction::actionWithDuration(2.0);
  interval->startWithTarget(n.get());
  interval->step(0.5);
  Ref<Action> c = interval->copy();
  auto* ic = dynamic_cast<IntervalAction*>(c.get());
  ASSERT_NE(ic, nullptr);
  EXPECT_EQ(ic->duration(), 2.0);
  EXPECT_EQ(ic->elapsed(), 0.0);
  EXPECT_EQ(ic->target(), nullptr);

  auto place = Place::actionWithPosition(Vec2(3, 4));
  place->setTarget(n.get());
  Ref<Action> pc = place->copy();
  ASSERT_NE(dynamic_cast<Place*>(pc.get()), nullptr);
  EXPECT_EQ(dynamic_cast<Place*>(pc.get())->position(), Vec2(3, 4));
  EXPECT_EQ(pc->target(), nullptr);

  Receiver r;
  auto cfn = CallFuncN::actionWithTarget(&r, &Receiver::withNode);
  Ref<Action> cc = cfn->copy();
  ASSERT_NE(dynamic_cast<CallFuncN*>(cc.get()), nullptr);
  cc->startWithTarget(n.get());
  EXPECT_EQ(r.got, n.get());

  EXPECT_NE(dynamic_cast<ToggleVisibility*>(ToggleVisibility::action()->copy().get()), nullptr);
  // The plain protocol object keeps its target in a copy.
  auto base = Action::action();
  base->setTarget(n.get());
  EXPECT_EQ(base->copy()->target(), n.get());
}

TEST_F(ActionTest, FailuresAndLogLines) {
  auto a = IntervalAction::actionWithDuration(1.0);
  try {
    a->reverse();
    ADD_FAILURE();
  } catch (const Exception& e) {
    EXPECT_EQ(e.name(), "ReverseActionNotImplemented");
    EXPECT_EQ(e.reason(), "Reverse Action not implemented");
  }
  {
    LogCapture log;
    Action::action()->step(0.1);
    IntervalAction::actionWithDuration(1.0)->update(0.5);
    EXPECT_TRUE(log.contains("[Action step]. override me"));
    EXPECT_TRUE(log.contains("[Action update]. override me"));
  }
  {
    LogCapture log;
    Action* raw = nullptr;
    {
      Ref<Node> n = Node::node();
      auto h = Hide::action();
      h->setTarget(n.get());
      raw = h.get();
    }
    char addr[32];
    std::snprintf(addr, sizeof addr, "%p", static_cast<void*>(raw));
    EXPECT_TRUE(log.contains(std::string("deallocing <Hide: ") + addr + ">"));
  }
  // Copies and reverses that never get a target are named by their own class too.
  const struct {
    const char* cls;
    std::function<Ref<Action>()> make;
  } untargeted[] = {
      {"Place", [] { return Place::actionWithPosition(Vec2(1, 2))->copy(); }},
      {"MoveBy", [] { return MoveBy::actionWithDuration(1.0, Vec2(3, 4))->reverse(); }},
      {"Sequence", [] { return Sequence::actionOne(Show::action(), Hide::action())->copy(); }},
  };
  for (const auto& row : untargeted) {
    LogCapture log;
    Ref<Action> a = row.make();
    char addr[32];
    std::snprintf(addr, sizeof addr, "%p", static_cast<void*>(a.get()));
    a = nullptr;
    EXPECT_TRUE(log.contains(std::string("deallocing <") + row.cls + ": " + addr + ">")) << row.cls;
  }
  clock.set(-5.0);  // the clock cannot be read
  try {
    a->start();
    ADD_FAILURE();
  } catch (const Exception& e) {
    EXPECT_EQ(e.name(), "GetTimeOfDay");
    EXPECT_EQ(e.reason(), "GetTimeOfDay abnormal error");
  }
}

TEST_F(ActionTest, ActionAndTargetKeepEachOtherUntilTheNodeDropsIt) {
  Ref<Scene> scene = Scene::node();
  scene->onEnter();
  bool destroyed = false;
  std::vector<std::string> journal;
  Ref<Recorder> n = make<Recorder>(&journal, "n", &destroyed);
  scene->add(n);
  n->do_(make<Probe>(0.2));
  scene->remove(n.get());
  Node* raw = n.get();
  n = nullptr;
  EXPECT_FALSE(destroyed) << "the running action holds its node";
  scene->add(raw);
  scene->remove(raw);  // only the action holds it; re-entering keeps it going
  scene->add(raw);
  tick(0.2);  // finishes
  tick(0.2);  // dropped: only the scene holds it now
  scene->remove(raw);
  tick(0.1);
  EXPECT_TRUE(destroyed);
  scene->onExit();
}

}  // namespace

namespace {
// A parent that removes a child from the end of the child's own sequence, as the game does with
// characters and prize stars.
struct Remover : Node {
  void dead(Node* n) { remove(n); }
};

TEST_F(ActionTest, NodeRemovingItselfFromItsOwnSequenceIsFreedWithUnfinishedActions) {
  Ref<Scene> scene = Scene::node();
  scene->onEnter();
  Ref<Remover> layer = make<Remover>();
  scene->add(layer);
  bool destroyed = false;
  std::vector<std::string> journal;
  Ref<Recorder> n = make<Recorder>(&journal, "n", &destroyed);
  layer->add(n);
  // A longer action still running when the sequence ends, like a spawn part one frame behind.
  n->do_(make<Probe>(0.5));
  n->do_(Sequence::actions(make<Probe>(0.2), CallFuncN::actionWithTarget(layer.get(), &Remover::dead)));
  n = nullptr;
  tick(0.1);
  tick(0.15);  // the sequence ends: the node removes itself
  tick(0.1);   // its step timer leaves the scheduler's list
  EXPECT_TRUE(destroyed) << "a node that left the stage from its own step must not be kept by its actions";
  scene->onExit();
}
}  // namespace
