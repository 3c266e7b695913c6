#include "platform/View.h"

#include <algorithm>
#include <cmath>

#include "platform/Window.h"

namespace peckish::platform {
namespace {

bool validRect(CGRect r) {
  return std::isfinite(r.origin.x) && std::isfinite(r.origin.y) && std::isfinite(r.size.width) &&
         std::isfinite(r.size.height) && r.size.width >= 0.f && r.size.height >= 0.f;
}

bool contains(CGRect r, CGPoint p) {
  return p.x >= r.origin.x && p.y >= r.origin.y && p.x < r.origin.x + r.size.width &&
         p.y < r.origin.y + r.size.height;
}

}  // namespace

Ref<View> View::create(CGRect frame) {
  Ref<View> v(new View());
  if (!v->initWithFrame(frame)) return nullptr;
  return v;
}

View::~View() {
  for (auto& sv : subviews_) sv->superview_ = nullptr;
}

bool View::initWithFrame(CGRect frame) {
  if (!validRect(frame)) return false;
  frame_ = frame;
  bounds_ = CGRect{{0.f, 0.f}, frame.size};
  return true;
}

void View::setFrame(CGRect frame) {
  if (!validRect(frame)) return;
  const bool resized = !(frame.size == frame_.size);
  frame_ = frame;
  bounds_.size = frame.size;
  if (resized) layoutSubviews();
}

void View::setBounds(CGRect bounds) {
  if (!validRect(bounds)) return;
  const bool resized = !(bounds.size == bounds_.size);
  bounds_ = bounds;
  frame_.size = bounds.size;
  if (resized) layoutSubviews();
}

void View::setContentScaleFactor(float scale) {
  if (!std::isfinite(scale) || scale <= 0.f || scale == contentScale_) return;
  contentScale_ = scale;
  layoutSubviews();
}

void View::addSubview(View* view) {
  if (!view || view == this) return;
  Ref<View> keep(view);
  view->removeFromSuperview();
  subviews_.push_back(keep);
  view->superview_ = this;
}

void View::removeFromSuperview() {
  View* parent = superview_;
  if (!parent) return;
  Ref<View> keep(this);  // the last owner may be the superview
  superview_ = nullptr;
  auto& list = parent->subviews_;
  list.erase(std::remove_if(list.begin(), list.end(), [this](const Ref<View>& v) { return v.get() == this; }),
             list.end());
}

Window* View::window() const {
  const View* v = this;
  while (v->superview_) v = v->superview_;
  return dynamic_cast<Window*>(const_cast<View*>(v));
}

View* View::hitTest(CGPoint p) {
  if (hidden_ || !interaction_ || !contains(frame_, p)) return nullptr;
  const CGPoint local{p.x - frame_.origin.x + bounds_.origin.x, p.y - frame_.origin.y + bounds_.origin.y};
  for (auto it = subviews_.rbegin(); it != subviews_.rend(); ++it) {
    if (View* hit = (*it)->hitTest(local)) return hit;
  }
  return this;
}

CGPoint View::convertFromWindow(CGPoint p) const {
  if (!superview_) return p;
  const CGPoint q = superview_->convertFromWindow(p);
  return CGPoint{q.x - frame_.origin.x + bounds_.origin.x, q.y - frame_.origin.y + bounds_.origin.y};
}

}  // namespace peckish::platform
