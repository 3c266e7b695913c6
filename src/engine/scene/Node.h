#pragma once
// Node: the base of everything that is drawn (scenes, layers, sprites, labels, menus, particle
// systems, game nodes). A node has a position, a uniform scale, a rotation, two anchors and a
// visibility flag; it owns its children (sorted by z-order), a table of named children, its running
// actions, its scheduled callbacks and a Camera.
//
// Subclassing:
//   - draw(): override to draw the node in its own local coordinates. The transform of the node
//     (camera, anchors, position, scale, rotation) is already applied to the GL model-view matrix.
//     The base does nothing. Textured nodes drawn before may still be queued (QuadBatch): a draw
//     that issues GL calls of its own calls QuadBatch::flush() first.
//   - visit(): rarely overridden. The base pushes the matrix, visits the children with negative
//     z-order (untransformed), applies transform(), calls draw(), visits the remaining children,
//     pops the matrix. An override that wants the normal walk calls Node::visit().
//   - onEnter()/onExit(): override to react to joining or leaving the running scene; always call
//     the base (Node::onEnter() marks the node running, enters the children and hands the timers to
//     the scheduler; Node::onExit() does the reverse).
//   - Constructors play the role of init: set relativeTransformAnchor_, transformAnchor_, etc.
//   - Per-frame callbacks: schedule(&MyNode::tick) with `void MyNode::tick(double dt)`;
//     unschedule(&MyNode::tick) to stop. A node has at most one timer per member function.
//   - Walking children: children() gives the sorted list (z ascending, equal z in insertion order).
//     Use forEachChild / forEachChildReverse when the callback may add or remove children of this
//     node; those walks tolerate changes to the list while they run.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/Callback.h"
#include "core/Object.h"
#include "math/Vec2.h"

namespace peckish {

class Action;
class Camera;
class Timer;

// A per-frame callback: receiver plus a member function taking the frame time in seconds.
using TimerCallback = Callback<void(double)>;

class Node : public Object {
 public:
  struct ChildEntry {
    int z = 0;
    Ref<Node> node;
    std::uint64_t order = 0;  // insertion count; walks skip children added after they began
  };

  Node();
  ~Node() override;

  // A new plain node.
  static Ref<Node> node();

  // --- properties --------------------------------------------------------------------------
  float rotation() const { return rotation_; }
  void setRotation(float degrees) { rotation_ = degrees; }
  float scale() const { return scale_; }
  void setScale(float s) { scale_ = s; }
  Vec2 position() const { return position_; }
  void setPosition(Vec2 p) { position_ = p; }
  bool visible() const { return visible_; }
  void setVisible(bool v) { visible_ = v; }
  Camera* camera() const { return camera_.get(); }
  // The node takes a reference to the new camera and drops the old one.
  void setCamera(Ref<Camera> camera);
  Node* parent() const { return parent_; }
  void setParent(Node* p) { parent_ = p; }
  Vec2 transformAnchor() const { return transformAnchor_; }
  void setTransformAnchor(Vec2 a) { transformAnchor_ = a; }
  Vec2 childrenAnchor() const { return childrenAnchor_; }
  void setChildrenAnchor(Vec2 a) { childrenAnchor_ = a; }
  bool isRunning() const { return isRunning_; }

  // --- children ----------------------------------------------------------------------------
  // Inserts child after every existing child of z-order <= z. An empty name means no name.
  // Returns the receiver so calls can be chained: scene->add(a)->add(b).
  Node* add(Ref<Node> child, int z = 0, std::string_view name = {});
  // Removes the first entry of child (parent cleared, onExit when running). Names are kept.
  void remove(Node* child);
  // remove(get(name)) and forgets the name.
  void removeByName(std::string_view name);
  Node* get(std::string_view name) const;
  template <class T>
  T* getAs(std::string_view name) const { return dynamic_cast<T*>(get(name)); }

  const std::vector<ChildEntry>& children() const { return children_; }

  // Front-to-back / back-to-front walks that tolerate f adding or removing children of this node:
  // they visit the children present when the walk began that are still present when it reaches
  // them, each once. f receives (z, child).
  template <class F>
  void forEachChild(F&& f);
  template <class F>
  void forEachChildReverse(F&& f);

  // --- drawing -----------------------------------------------------------------------------
  virtual void draw();
  virtual void transform();
  virtual void visit();

  // --- stage -------------------------------------------------------------------------------
  virtual void onEnter();
  virtual void onExit();

  // --- actions -----------------------------------------------------------------------------
  // Targets the action at this node, starts it, schedules step_ and appends it to the running
  // actions. Returns the action. Off stage, an instant action (which acted in start) is stopped at
  // once instead of waiting in the list.
  Action* do_(Ref<Action> action);
  // Marks every running action for removal at the next step (actions are not sent stop).
  void stop();
  // For a node leaving for good (a scene that was replaced or popped, the outgoing scene of a
  // finished transition): drops the actions of this node and of all its descendants at once.
  // Each action holds its node, so without this a node that leaves with unfinished actions would
  // never be freed. Only for nodes off stage; a node merely removed keeps its actions so that
  // re-adding it resumes them.
  void cleanup();
  // The action step, scheduled while the node has actions: drops the actions marked for removal;
  // unschedules itself when none is left; otherwise steps each action present when the pass began
  // (actions started during the pass wait for the next step) and stops and marks those now done.
  // A node that takes itself off the stage (and out of its parent) during its own step drops all
  // its actions at the end of it.
  void step_(double dt);
  const std::vector<Ref<Action>>& actions() const { return actions_; }

  // --- scheduled callbacks -----------------------------------------------------------------
  template <class C>
  void schedule(void (C::*method)(double)) { schedule(TimerCallback(static_cast<C*>(this), method)); }
  template <class C>
  void unschedule(void (C::*method)(double)) { unschedule(TimerCallback(static_cast<C*>(this), method)); }
  // The receiver of the callback is normally this node (it is the timer's target). Scheduling a
  // callback that is already scheduled does nothing. The timer reaches the scheduler while the node
  // is running (at once, or on onEnter) and fires first on the next tick.
  void schedule(const TimerCallback& callback);
  // Logs "selector not scheduled" and raises "SelectorNotScheduled" when the callback is not
  // scheduled on this node. Off stage the timer is simply forgotten.
  void unschedule(const TimerCallback& callback);
  bool isScheduled(const TimerCallback& callback) const;
  void activateTimers();
  void deactivateTimers();

 protected:
  // A position in children_ kept valid while the list changes under a walk: the boundary between
  // the part already walked and the rest moves with insertions and removals in front of it.
  struct ChildCursor {
    std::ptrdiff_t boundary;
    ChildCursor* next;
  };
  class ChildWalk {
   public:
    ChildWalk(Node& n, std::ptrdiff_t start) : node_(n), cursor_{start, n.cursors_}, limit_(n.nextOrder_) {
      n.cursors_ = &cursor_;
    }
    ~ChildWalk() { node_.cursors_ = cursor_.next; }
    ChildWalk(const ChildWalk&) = delete;
    ChildWalk& operator=(const ChildWalk&) = delete;
    std::ptrdiff_t& boundary() { return cursor_.boundary; }
    // Whether the entry was there when the walk began.
    bool covers(const ChildEntry& e) const { return e.order < limit_; }

   private:
    Node& node_;
    ChildCursor cursor_;
    std::uint64_t limit_;
  };
  void childInserted(std::ptrdiff_t at);
  void childErased(std::ptrdiff_t at);

  float rotation_ = 0.f;
  float scale_ = 1.f;
  Vec2 position_ = vzero;
  bool visible_ = true;
  Ref<Camera> camera_;
  bool relativeTransformAnchor_ = true;
  Vec2 transformAnchor_ = vzero;
  Vec2 childrenAnchor_ = vzero;
  std::vector<ChildEntry> children_;
  std::vector<std::pair<std::string, Ref<Node>>> childrenNames_;
  bool isRunning_ = false;
  Node* parent_ = nullptr;
  std::vector<Ref<Action>> actions_;
  std::vector<Ref<Action>> actionsToRemove_;
  std::vector<std::pair<TimerCallback, Ref<Timer>>> scheduledSelectors_;

 private:
  ChildCursor* cursors_ = nullptr;
  std::uint64_t nextOrder_ = 0;
};

template <class F>
void Node::forEachChild(F&& f) {
  ChildWalk walk(*this, 0);
  auto& b = walk.boundary();
  while (b < static_cast<std::ptrdiff_t>(children_.size())) {
    const ChildEntry& e = children_[static_cast<size_t>(b++)];
    if (!walk.covers(e)) continue;
    Ref<Node> child = e.node;
    f(e.z, child.get());
  }
}

template <class F>
void Node::forEachChildReverse(F&& f) {
  ChildWalk walk(*this, static_cast<std::ptrdiff_t>(children_.size()));
  auto& b = walk.boundary();
  while (b > 0) {
    const ChildEntry& e = children_[static_cast<size_t>(--b)];
    if (!walk.covers(e)) continue;
    Ref<Node> child = e.node;
    f(e.z, child.get());
  }
}

}  // namespace peckish
