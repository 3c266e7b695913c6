#include "ui/Widget.h"

#include <algorithm>
#include <cmath>

#include "engine/scene/Director.h"

namespace peckish::ui {

Widget::~Widget() = default;

CGRect Widget::screenFrame() const {
  CGRect r = frame();
  for (const View* v = superview(); v; v = v->superview()) {
    r.origin.x += v->frame().origin.x - v->bounds().origin.x;
    r.origin.y += v->frame().origin.y - v->bounds().origin.y;
  }
  return r;
}

CGPoint Widget::toScene(CGPoint p) {
  const bool landscape = Director::exists() && Director::shared()->landscape();
  if (landscape) return CGPointMake(p.y, p.x);
  return CGPointMake(p.x, 480.f - p.y);
}

CGRect Widget::sceneRect() const {
  const CGRect f = screenFrame();
  const CGPoint a = toScene(f.origin);
  const CGPoint b = toScene(CGPointMake(f.origin.x + f.size.width, f.origin.y + f.size.height));
  return CGRectMake(std::min(a.x, b.x), std::min(a.y, b.y), std::abs(b.x - a.x), std::abs(b.y - a.y));
}

CGPoint Widget::touchInScene(CGPoint local) const {
  CGPoint p = local;
  for (const View* v = this; v; v = v->superview()) {
    p.x += v->frame().origin.x - v->bounds().origin.x;
    p.y += v->frame().origin.y - v->bounds().origin.y;
  }
  return toScene(p);
}

}  // namespace peckish::ui
