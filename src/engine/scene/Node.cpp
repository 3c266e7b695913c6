#include "engine/scene/Node.h"

#include <algorithm>

#include "core/Exception.h"
#include "core/Log.h"
#include "engine/actions/Action.h"
#include "engine/scene/Camera.h"
#include "engine/render/QuadBatch.h"
#include "engine/scene/Scheduler.h"
#include "platform/GLES.h"

namespace peckish {

namespace {
bool nonZero(Vec2 v) { return v.x != 0.f || v.y != 0.f; }
}  // namespace

Node::Node() : camera_(make<Camera>()) {
  scheduledSelectors_.reserve(2);
  actions_.reserve(4);
  actionsToRemove_.reserve(4);
}

Node::~Node() {
  // Children that outlive this node (held by their actions, say) must not point back at it.
  for (auto& e : children_) {
    if (e.node && e.node->parent_ == this) e.node->parent_ = nullptr;
  }
}

Ref<Node> Node::node() { return make<Node>(); }

void Node::setCamera(Ref<Camera> camera) { camera_ = std::move(camera); }

// --- children ----------------------------------------------------------------------------------

void Node::childInserted(std::ptrdiff_t at) {
  for (ChildCursor* c = cursors_; c; c = c->next)
    if (at < c->boundary) ++c->boundary;
}

void Node::childErased(std::ptrdiff_t at) {
  for (ChildCursor* c = cursors_; c; c = c->next)
    if (at < c->boundary) --c->boundary;
}

Node* Node::add(Ref<Node> child, int z, std::string_view name) {
  if (!child) return this;
  auto it = std::find_if(children_.begin(), children_.end(), [z](const ChildEntry& e) { return e.z > z; });
  const auto at = it - children_.begin();
  children_.insert(it, ChildEntry{z, child, nextOrder_++});
  childInserted(at);
  if (!name.empty()) {
    auto named = std::find_if(childrenNames_.begin(), childrenNames_.end(),
                              [name](const auto& p) { return p.first == name; });
    if (named != childrenNames_.end()) {
      named->second = child;
    } else {
      childrenNames_.emplace_back(std::string(name), child);
    }
  }
  child->parent_ = this;
  if (isRunning_) child->onEnter();
  return this;
}

void Node::remove(Node* child) {
  if (!child) return;
  auto find = [this, child] {
    return std::find_if(children_.begin(), children_.end(), [child](const ChildEntry& e) { return e.node.get() == child; });
  };
  if (find() == children_.end()) return;
  Ref<Node> keep(child);
  child->parent_ = nullptr;
  if (isRunning_) child->onExit();
  // onExit may have changed the list: look the entry up again.
  auto it = find();
  if (it == children_.end()) return;
  const auto at = it - children_.begin();
  children_.erase(it);
  childErased(at);
}

void Node::removeByName(std::string_view name) {
  auto it = std::find_if(childrenNames_.begin(), childrenNames_.end(), [name](const auto& p) { return p.first == name; });
  if (it == childrenNames_.end()) return;
  Ref<Node> child = it->second;
  remove(child.get());
  it = std::find_if(childrenNames_.begin(), childrenNames_.end(), [name](const auto& p) { return p.first == name; });
  if (it != childrenNames_.end()) childrenNames_.erase(it);
}

Node* Node::get(std::string_view name) const {
  for (const auto& p : childrenNames_)
    if (p.first == name) return p.second.get();
  return nullptr;
}

// --- drawing -----------------------------------------------------------------------------------

void Node::draw() {}

void Node::transform() {
  if (camera_) camera_->locate();
  const bool anchored = nonZero(transformAnchor_);
  if (relativeTransformAnchor_ && anchored) glTranslatef(-transformAnchor_.x, -transformAnchor_.y, 0.f);
  if (anchored) {
    glTranslatef(position_.x + transformAnchor_.x, position_.y + transformAnchor_.y, 0.f);
  } else if (nonZero(position_)) {
    glTranslatef(position_.x, position_.y, 0.f);
  }
  if (scale_ != 1.f) glScalef(scale_, scale_, 1.f);
  if (rotation_ != 0.f) glRotatef(-rotation_, 0.f, 0.f, 1.f);
  if (anchored) {
    if (childrenAnchor_.x != transformAnchor_.x || childrenAnchor_.y != transformAnchor_.y)
      glTranslatef(childrenAnchor_.x - transformAnchor_.x, childrenAnchor_.y - transformAnchor_.y, 0.f);
  } else if (nonZero(childrenAnchor_)) {
    glTranslatef(childrenAnchor_.x, childrenAnchor_.y, 0.f);
  }
}

void Node::visit() {
  if (!visible_) return;
  QuadBatch::VisitScope scope;  // the outermost visit draws what is still queued when it ends
  glPushMatrix();
  {
    // Children behind the node, in the parent's space.
    ChildWalk walk(*this, 0);
    auto& b = walk.boundary();
    while (b < static_cast<std::ptrdiff_t>(children_.size())) {
      const ChildEntry& e = children_[static_cast<size_t>(b)];
      if (e.z >= 0) break;
      ++b;
      if (!walk.covers(e)) continue;
      Ref<Node> child = e.node;
      child->visit();
    }
  }
  transform();
  draw();
  {
    ChildWalk walk(*this, 0);
    auto& b = walk.boundary();
    while (b < static_cast<std::ptrdiff_t>(children_.size())) {
      const ChildEntry& e = children_[static_cast<size_t>(b++)];
      if (e.z < 0 || !walk.covers(e)) continue;
      Ref<Node> child = e.node;
      child->visit();
    }
  }
  glPopMatrix();
}

// --- stage -------------------------------------------------------------------------------------

void Node::onEnter() {
  isRunning_ = true;
  forEachChild([](int, Node* child) { child->onEnter(); });
  activateTimers();
}

void Node::onExit() {
  isRunning_ = false;
  deactivateTimers();
  forEachChild([](int, Node* child) { child->onExit(); });
}

// --- actions -----------------------------------------------------------------------------------

Action* Node::do_(Ref<Action> action) {
  if (!action) return nullptr;
  action->setTarget(this);
  action->start();
  // Off stage an instant action, which did all its work in start, would wait for a step that may
  // never come, holding this node all the while: finish it now instead. An interval action waits
  // in the list even when it is already done (duration 0): its update(1) comes with its first step.
  if (!isRunning_ && action->isDone() && dynamic_cast<InstantAction*>(action.get())) {
    action->stop();
    return action.get();
  }
  schedule(&Node::step_);
  actions_.push_back(action);
  return action.get();
}

void Node::stop() {
  for (const auto& a : actions_) actionsToRemove_.push_back(a);
}

void Node::cleanup() {
  if (isRunning_) return;
  Ref<Node> self(this);
  actionsToRemove_.clear();
  std::vector<Ref<Action>> dropped;
  dropped.swap(actions_);
  if (isScheduled(TimerCallback(this, &Node::step_))) unschedule(&Node::step_);
  dropped.clear();
  forEachChild([](int, Node* child) { child->cleanup(); });
}

void Node::step_(double dt) {
  if (!actionsToRemove_.empty()) {
    for (const auto& a : actionsToRemove_) std::erase(actions_, a);
    actionsToRemove_.clear();
  }
  if (actions_.empty()) {
    unschedule(&Node::step_);
    return;
  }
  // One pass over the actions present now; actions started during the pass wait for the next.
  Ref<Node> self(this);  // an action may remove this node from its parent
  const bool wasRunning = isRunning_;
  const size_t count = actions_.size();
  for (size_t i = 0; i < count && i < actions_.size(); ++i) {
    Ref<Action> a = actions_[i];
    a->step(dt);
    if (a->isDone()) {
      a->stop();
      actionsToRemove_.push_back(std::move(a));
    }
  }
  // A node that took itself off the stage during its own step (a callback at the end of its
  // sequence removing it) is finished with: its actions would never be stepped again, and each
  // of them holds the node, so dropping them now is what lets the node go. A node that was
  // already off stage when its step came (removed earlier in this tick by another timer) keeps
  // its actions, so that adding it again resumes them.
  if (wasRunning && !isRunning_ && parent_ == nullptr) {
    actionsToRemove_.clear();
    std::vector<Ref<Action>> dropped;
    dropped.swap(actions_);
    if (isScheduled(TimerCallback(this, &Node::step_))) unschedule(&Node::step_);
  }
}

// --- scheduled callbacks -----------------------------------------------------------------------

bool Node::isScheduled(const TimerCallback& callback) const {
  return std::any_of(scheduledSelectors_.begin(), scheduledSelectors_.end(),
                     [&](const auto& p) { return p.first == callback; });
}

void Node::schedule(const TimerCallback& callback) {
  if (isScheduled(callback)) return;
  Ref<Timer> timer = make<Timer>(callback);
  if (isRunning_) Scheduler::sharedScheduler()->scheduleTimer(timer.get());
  scheduledSelectors_.emplace_back(callback, timer);
}

void Node::unschedule(const TimerCallback& callback) {
  auto it = std::find_if(scheduledSelectors_.begin(), scheduledSelectors_.end(),
                         [&](const auto& p) { return p.first == callback; });
  if (it == scheduledSelectors_.end()) {
    engineLog("selector not scheduled");
    raise("SelectorNotScheduled", "Selector not scheduled");
  }
  Ref<Timer> timer = std::move(it->second);
  scheduledSelectors_.erase(it);
  // Off stage the timer has already been withdrawn from the scheduler (onExit) or never reached it.
  if (isRunning_) Scheduler::sharedScheduler()->unscheduleTimer(timer.get());
}

void Node::activateTimers() {
  if (scheduledSelectors_.empty()) return;
  Scheduler* s = Scheduler::sharedScheduler();
  for (const auto& p : scheduledSelectors_) s->scheduleTimer(p.second.get());
}

void Node::deactivateTimers() {
  if (scheduledSelectors_.empty()) return;
  Scheduler* s = Scheduler::sharedScheduler();
  for (const auto& p : scheduledSelectors_) s->unscheduleTimer(p.second.get());
}

}  // namespace peckish
