#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include "EngineTestSupport.h"
#include "core/Exception.h"
#include "engine/actions/CameraAction.h"
#include "engine/actions/CompositeActions.h"
#include "engine/actions/PropertyActions.h"
#include "engine/render/TextureNode.h"

using namespace peckish;
using namespace peckish::test;

// Counts heap allocations while g_countAllocations is set, so a test can show that stepping
// running actions allocates nothing. The library's operator delete frees with free(), which
// matches. Left out under AddressSanitizer, which owns operator new.
#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define PECKISH_UNDER_ASAN 1
#endif
#endif
#if !defined(__SANITIZE_ADDRESS__) && !defined(PECKISH_UNDER_ASAN)
#define PECKISH_COUNT_ALLOCATIONS 1
namespace {
bool g_countAllocations = false;
long g_allocations = 0;
}  // namespace
void* operator new(std::size_t size) {
  if (g_countAllocations) ++g_allocations;
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
#endif

namespace {

// Writes "<name> start", "<name> <t>" for each update and "<name> stop" to a shared journal.
class Step : public IntervalAction {
 public:
  Step(std::vector<std::string>* journal, std::string name, double duration)
      : IntervalAction(duration), journal_(journal), name_(std::move(name)) {}
  Ref<Action> copy() const override { return make<Step>(journal_, name_, duration_); }
  void start() override {
    IntervalAction::start();
    journal_->push_back(name_ + " start");
  }
  void update(double t) override {
    char buf[32];
    std::snprintf(buf, sizeof buf, " %g", t);
    journal_->push_back(name_ + buf);
  }
  void stop() override {
    journal_->push_back(name_ + " stop");
    IntervalAction::stop();
  }
  Ref<Action> reverse() const override { return make<Step>(journal_, name_ + "'", duration_); }

 private:
  std::vector<std::string>* journal_;
  std::string name_;
};

using Journal = std::vector<std::string>;

class CompositeActionsTest : public StagedEngineTest {
 protected:
  Ref<Step> step(const std::string& name, double d) { return make<Step>(&journal, name, d); }
  Journal journal;

 private:
};

struct Flag : Object {
  int calls = 0;
  Vec2 seenAt;
  Node* node = nullptr;
  void fire() { ++calls; }
  void fireN(Node* n) {
    ++calls;
    node = n;
    seenAt = n->position();
  }
};

// --- Sequence -------------------------------------------------------------------------------------

TEST_F(CompositeActionsTest, SequenceHandsOverAtTheSplitPoint) {
  Ref<Sequence> seq = Sequence::actionOne(step("a", 1), step("b", 1));
  EXPECT_DOUBLE_EQ(seq->duration(), 2.0);
  seq->start();
  EXPECT_DOUBLE_EQ(seq->split(), 0.5);
  for (double t : {0.25, 0.5, 0.75, 1.0}) seq->update(t);
  // t equal to the split already belongs to the second part; the second part is never stopped.
  EXPECT_EQ(journal, (Journal{"a start", "a 0.5", "a 1", "a stop", "b start", "b 0", "b 0.5", "b 1"}));
}

TEST_F(CompositeActionsTest, SequenceRunsASkippedFirstPartToTheEndBeforeTheSecond) {
  // A first frame longer than the first part.
  Ref<Sequence> seq = Sequence::actionOne(step("a", 1), step("b", 1));
  seq->start();
  seq->update(0.75);
  EXPECT_EQ(journal, (Journal{"a start", "a 1", "a stop", "b start", "b 0.5"}));

  // A zero-length first part is skipped on the first update and still run whole.
  journal.clear();
  Ref<Node> node = stageNode();
  node->do_(Sequence::actionOne(step("z", 0), step("b", 1)));
  tick(0.25);
  EXPECT_EQ(journal, (Journal{"z start", "z 1", "z stop", "b start", "b 0.25"}));
}

TEST_F(CompositeActionsTest, SequenceOfTwoZeroLengthPartsRunsBothOnItsFirstUpdate) {
  for (double dt : {0.1, 0.0}) {  // a zero frame time must not leave the parts with 0/0 either
    journal.clear();
    Ref<Node> node = stageNode();
    Ref<Action> seq = node->do_(Sequence::actionOne(step("a", 0), step("b", 0)));
    tick(dt);
    EXPECT_EQ(journal, (Journal{"a start", "a 1", "a stop", "b start", "b 1"})) << "dt " << dt;
    EXPECT_TRUE(seq->isDone());
    tick(dt);
    EXPECT_EQ(journal.size(), 5u);
  }
}

TEST_F(CompositeActionsTest, InstantPartsActWhenTheSequenceStartsThem) {
  Ref<Flag> flag = make<Flag>();
  Ref<Node> node = stageNode();
  node->setPosition(Vec2(1, 1));
  // Place first: acts on the first update, not when the sequence starts.
  node->do_(Sequence::actions(Place::actionWithPosition(Vec2(5, 5)), MoveBy::actionWithDuration(1, Vec2(10, 0)),
                              CallFuncN::actionWithTarget(flag.get(), &Flag::fireN)));
  EXPECT_EQ(node->position(), Vec2(1, 1));
  tick(0.5);
  EXPECT_EQ(node->position(), Vec2(10, 5));
  EXPECT_EQ(flag->calls, 0);
  tick(0.5);
  // The callback comes after the move got its final update.
  EXPECT_EQ(flag->calls, 1);
  EXPECT_EQ(flag->node, node.get());
  EXPECT_EQ(flag->seenAt, Vec2(15, 5));
}

TEST_F(CompositeActionsTest, ReversedSequenceRunsReversedPartsInOppositeOrder) {
  Ref<Action> rev = Sequence::actionOne(step("a", 1), step("b", 3))->reverse();
  auto* seq = dynamic_cast<Sequence*>(rev.get());
  ASSERT_NE(seq, nullptr);
  EXPECT_DOUBLE_EQ(seq->one()->duration(), 3.0);
  seq->start();
  seq->update(1.0);
  EXPECT_EQ(journal, (Journal{"b' start", "b' 1", "b' stop", "a' start", "a' 1"}));

  // An instant action has no reverse, so neither has a sequence holding one.
  Ref<Sequence> withCall = Sequence::actionOne(step("a", 1), Show::action());
  try {
    withCall->reverse();
    FAIL() << "reverse of an instant part must raise";
  } catch (const Exception& e) {
    EXPECT_EQ(e.name(), "ReverseActionNotImplemented");
  }
}

TEST_F(CompositeActionsTest, ActionListsNestToTheLeft) {
  Ref<Step> a = step("a", 1), b = step("b", 2), c = step("c", 3);
  Ref<Action> abc = Sequence::actions(a, b, c);
  auto* outer = dynamic_cast<Sequence*>(abc.get());
  ASSERT_NE(outer, nullptr);
  EXPECT_EQ(outer->two(), c.get());
  auto* inner = dynamic_cast<Sequence*>(outer->one());
  ASSERT_NE(inner, nullptr);
  EXPECT_EQ(inner->one(), a.get());
  EXPECT_EQ(inner->two(), b.get());
  EXPECT_DOUBLE_EQ(abc->duration(), 6.0);

  EXPECT_EQ(Sequence::actions(a).get(), a.get());  // a single action comes back unwrapped
  EXPECT_EQ(Sequence::actions(nullptr).get(), nullptr);
  EXPECT_EQ(Sequence::actions(a, nullptr, c).get(), a.get());  // the list ends at the first null

  Ref<Step> d = step("d", 3), e = step("e", 3);
  Ref<Action> spawn = Spawn::actions(c, d, e);
  auto* outerSpawn = dynamic_cast<Spawn*>(spawn.get());
  ASSERT_NE(outerSpawn, nullptr);
  EXPECT_EQ(outerSpawn->two(), e.get());
  auto* innerSpawn = dynamic_cast<Spawn*>(outerSpawn->one());
  ASSERT_NE(innerSpawn, nullptr);
  EXPECT_EQ(innerSpawn->one(), c.get());
  EXPECT_EQ(innerSpawn->two(), d.get());
}

// --- Spawn ----------------------------------------------------------------------------------------

TEST_F(CompositeActionsTest, SpawnPadsTheShorterPartWithADelay) {
  Ref<Step> longer = step("long", 1), shorter = step("short", 0.5);
  Ref<Spawn> s = Spawn::actionOne(longer, shorter);
  EXPECT_DOUBLE_EQ(s->duration(), 1.0);
  EXPECT_EQ(s->one(), longer.get());
  auto* padded = dynamic_cast<Sequence*>(s->two());
  ASSERT_NE(padded, nullptr);
  EXPECT_EQ(padded->one(), shorter.get());
  auto* delay = dynamic_cast<DelayTime*>(padded->two());
  ASSERT_NE(delay, nullptr);
  EXPECT_DOUBLE_EQ(delay->duration(), 0.5);

  Ref<Spawn> other = Spawn::actionOne(shorter, longer);  // the first part gets the padding
  EXPECT_NE(dynamic_cast<Sequence*>(other->one()), nullptr);
  EXPECT_EQ(other->two(), longer.get());

  Ref<Spawn> even = Spawn::actionOne(longer, step("same", 1));
  EXPECT_EQ(dynamic_cast<Sequence*>(even->two()), nullptr);

  // Copies share the stored (padded) parts and need no new padding.
  Ref<Action> copy = s->copy();
  auto* spawnCopy = dynamic_cast<Spawn*>(copy.get());
  ASSERT_NE(spawnCopy, nullptr);
  EXPECT_EQ(spawnCopy->one(), s->one());
  EXPECT_EQ(spawnCopy->two(), s->two());
}

TEST_F(CompositeActionsTest, SpawnIsDoneOnlyWhenBothPartsAre) {
  Ref<Node> node = stageNode();
  Ref<Action> spawn =
      node->do_(Spawn::actionOne(MoveBy::actionWithDuration(1, Vec2(100, 0)), RotateBy::actionWithDuration(0.5, 90)));
  EXPECT_EQ(node->actions().size(), 3u);  // the two parts joined the node before the spawn
  tick(0.5);
  EXPECT_FLOAT_EQ(node->position().x, 50.f);
  EXPECT_FLOAT_EQ(node->rotation(), 90.f);
  EXPECT_FALSE(spawn->isDone());  // the rotation is done, its padding delay is not
  tick(0.5);
  EXPECT_FLOAT_EQ(node->position().x, 100.f);
  EXPECT_TRUE(spawn->isDone());
  tick(0.1);
  EXPECT_TRUE(node->actions().empty());
}

TEST_F(CompositeActionsTest, SpawnInsideASequenceLagsOneFrameBehindIt) {
  Ref<Flag> flag = make<Flag>();
  Ref<Node> node = stageNode();
  node->do_(Sequence::actionOne(
      Spawn::actionOne(MoveBy::actionWithDuration(1, Vec2(100, 0)), RotateBy::actionWithDuration(1, 180)),
      CallFuncN::actionWithTarget(flag.get(), &Flag::fireN)));
  tick(0.5);  // the sequence starts the spawn; its parts join the node but are not stepped yet
  EXPECT_EQ(node->position(), Vec2(0, 0));
  EXPECT_EQ(node->actions().size(), 3u);
  tick(0.5);  // the sequence reaches its end and calls back before the parts are halfway
  EXPECT_EQ(flag->calls, 1);
  EXPECT_EQ(flag->seenAt, Vec2(0, 0));
  EXPECT_FLOAT_EQ(node->position().x, 50.f);
  tick(0.5);
  EXPECT_FLOAT_EQ(node->position().x, 100.f);
  EXPECT_FLOAT_EQ(node->rotation(), 180.f);
}

// --- Repeat ---------------------------------------------------------------------------------------

TEST_F(CompositeActionsTest, RepeatDurationIsTruncatedToWholeSeconds) {
  EXPECT_EQ(Repeat::actionWithAction(DelayTime::actionWithDuration(0.3), 3)->duration(), 0.0);
  EXPECT_EQ(Repeat::actionWithAction(DelayTime::actionWithDuration(1.5), 3)->duration(), 4.0);
  EXPECT_EQ(Repeat::actionWithAction(DelayTime::actionWithDuration(1.0), 0)->duration(), 0.0);
}

TEST_F(CompositeActionsTest, RepeatRunsItsActionTheGivenNumberOfTimes) {
  Ref<Node> node = stageNode();
  Ref<Repeat> rep = Repeat::actionWithAction(step("a", 1), 3);
  node->do_(rep);
  for (int i = 1; i <= 3; ++i) {
    EXPECT_FALSE(rep->isDone());
    tick(1.0);
    EXPECT_EQ(rep->total(), unsigned(i));
  }
  EXPECT_TRUE(rep->isDone());
  // Each repetition restarts the inner action; it is never stopped, and is started once more
  // after the last repetition.
  EXPECT_EQ(journal, (Journal{"a start", "a 1", "a start", "a 1", "a start", "a 1", "a start"}));

  // Time beyond the end of a repetition is dropped.
  Ref<Repeat> coarse = Repeat::actionWithAction(DelayTime::actionWithDuration(1), 2);
  node->do_(coarse);
  tick(2.5);
  EXPECT_EQ(coarse->total(), 1u);
}

TEST_F(CompositeActionsTest, RepeatForeverNeverEndsAndARerunDoesNotRunAway) {
  Ref<Node> node = stageNode();
  Ref<Repeat> forever = Repeat::actionWithAction(DelayTime::actionWithDuration(0.1), 0);
  node->do_(forever);
  for (int i = 0; i < 50; ++i) tick(0.1);
  EXPECT_FALSE(forever->isDone());
  EXPECT_EQ(forever->total(), 50u);

  // The completed count survives a restart; running a finished repeat again ends after one pass.
  Ref<Repeat> twice = Repeat::actionWithAction(DelayTime::actionWithDuration(0.1), 2);
  node->do_(twice);
  tick(0.1);
  tick(0.1);
  EXPECT_TRUE(twice->isDone());
  tick(0.1);  // the node drops it
  node->do_(twice);
  tick(0.1);
  EXPECT_EQ(twice->total(), 3u);
  EXPECT_TRUE(twice->isDone());
}

TEST_F(CompositeActionsTest, RepeatInsideASequenceDoesNotAdvance) {
  LogCapture log;
  Ref<Sequence> seq = Sequence::actionOne(Repeat::actionWithAction(step("a", 1), 2), step("b", 1));
  seq->start();
  seq->update(0.25);
  EXPECT_TRUE(log.contains("[Action update]. override me"));
  EXPECT_EQ(journal, (Journal{"a start"}));
}

// --- Time shaping ---------------------------------------------------------------------------------

// Records the progress values it is given.
class Progress : public IntervalAction {
 public:
  explicit Progress(double d) : IntervalAction(d) {}
  Ref<Action> copy() const override { return make<Progress>(duration_); }
  void update(double t) override { seen.push_back(t); }
  void stop() override { ++stops; }
  Ref<Action> reverse() const override { return make<Progress>(duration_); }
  std::vector<double> seen;
  int stops = 0;
};

TEST_F(CompositeActionsTest, TimeShapingActionsReshapeTheProgress) {
  Ref<Progress> inner = make<Progress>(2.0);

  Ref<Speed> fast = Speed::actionWithAction(inner, 2.0);
  EXPECT_DOUBLE_EQ(fast->duration(), 1.0);
  fast->update(0.3);
  EXPECT_DOUBLE_EQ(inner->seen.back(), 0.3);

  Ref<Accelerate> acc = Accelerate::actionWithAction(inner, 2.0f);
  acc->update(0.5);
  EXPECT_DOUBLE_EQ(inner->seen.back(), 0.25);
  Ref<Accelerate> accRev = ref_cast<Accelerate>(acc->reverse());
  ASSERT_TRUE(accRev);
  EXPECT_FLOAT_EQ(accRev->rate(), 0.5f);

  Ref<AccelDeccel> ease = AccelDeccel::actionWithAction(inner);
  EXPECT_DOUBLE_EQ(ease->duration(), 2.0);
  ease->update(0.0);
  EXPECT_NEAR(inner->seen.back(), 0.00247, 1e-5);
  ease->update(0.5);
  EXPECT_DOUBLE_EQ(inner->seen.back(), 0.5);
  ease->update(1.0);
  EXPECT_NEAR(inner->seen.back(), 0.99753, 1e-5);

  Ref<ReverseTime> back = ReverseTime::actionWithAction(inner);
  back->update(0.25);
  EXPECT_DOUBLE_EQ(inner->seen.back(), 0.75);
  back->stop();
  EXPECT_EQ(inner->stops, 1);  // only ReverseTime passes stop on
  fast->stop();
  EXPECT_EQ(inner->stops, 1);
  Ref<Action> unreversed = back->reverse();
  EXPECT_NE(unreversed.get(), inner.get());
  EXPECT_NE(dynamic_cast<Progress*>(unreversed.get()), nullptr);
}

TEST_F(CompositeActionsTest, WrappersTargetAndStartTheirInnerAction) {
  Ref<Node> node = stageNode();
  Ref<MoveBy> move = MoveBy::actionWithDuration(1, Vec2(100, 0));
  node->do_(ReverseTime::actionWithAction(move));
  EXPECT_EQ(move->target(), node.get());
  tick(0.25);
  EXPECT_FLOAT_EQ(node->position().x, 75.f);
  tick(0.75);
  EXPECT_FLOAT_EQ(node->position().x, 0.f);

  // Copies share the inner action.
  Ref<Speed> speed = Speed::actionWithAction(move, 4.0);
  Ref<Speed> copy = ref_cast<Speed>(speed->copy());
  ASSERT_TRUE(copy);
  EXPECT_EQ(copy->other(), move.get());
  EXPECT_DOUBLE_EQ(copy->speed(), 4.0);
}

// --- Steady state ---------------------------------------------------------------------------------

TEST_F(CompositeActionsTest, SteppingRunningActionsAllocatesNothing) {
#ifndef PECKISH_COUNT_ALLOCATIONS
  GTEST_SKIP() << "allocation counting is off under AddressSanitizer";
#else
  Ref<Node> node = stageNode();
  Ref<TextureNode> sprite = stageNode<TextureNode>();
  node->do_(Sequence::actions(MoveBy::actionWithDuration(10, Vec2(10, 0)), RotateBy::actionWithDuration(10, 90),
                              ScaleTo::actionWithDuration(10, 2)));
  node->do_(Spawn::actionOne(JumpBy::actionWithDuration(20, Vec2(5, 5), 10, 3), Blink::actionWithDuration(15, 5)));
  node->do_(Repeat::actionWithAction(ScaleBy::actionWithDuration(0.5, 1.1f), 0));
  node->do_(AccelDeccel::actionWithAction(RotateTo::actionWithDuration(20, 90)));
  node->do_(Speed::actionWithAction(Accelerate::actionWithAction(JumpTo::actionWithDuration(40, Vec2(1, 1), 5, 2), 2),
                                    2));
  node->do_(OrbitCamera::actionWithDuration(20, 1, 0, 0, 90, 0, 0));
  sprite->do_(Sequence::actionOne(FadeTo::actionWithDuration(10, 0), FadeIn::actionWithDuration(10)));
  sprite->do_(ReverseTime::actionWithAction(FadeOut::actionWithDuration(20)));
  for (int i = 0; i < 3; ++i) tick(0.1);  // the spawn's parts join; lists reach their size

  g_allocations = 0;
  g_countAllocations = true;
  Node::node();
  g_countAllocations = false;
  if (g_allocations == 0) GTEST_SKIP() << "operator new is not ours (a memory checker replaced it)";

  g_allocations = 0;
  g_countAllocations = true;
  for (int i = 0; i < 100; ++i) tick(0.1);  // crosses the first sequence hand-offs
  g_countAllocations = false;
  EXPECT_EQ(g_allocations, 0);
  EXPECT_GT(node->rotation(), 0.f);
#endif
}

}  // namespace
