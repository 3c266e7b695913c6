#include "platform/Window.h"

#include "platform/Application.h"
#include "platform/Display.h"

namespace peckish::platform {
namespace {
Window* gKeyWindow = nullptr;
}

const Screen& Screen::mainScreen() {
  static const Screen screen;
  return screen;
}

CGRect Screen::applicationFrame() const {
  // The 20-point status bar lies along the edge that is on top in the current orientation.
  InterfaceOrientation o = InterfaceOrientation::Portrait;
  if (Application::exists()) o = Application::sharedApplication()->statusBarOrientation();
  switch (o) {
    case InterfaceOrientation::PortraitUpsideDown: return CGRectMake(0, 0, 320, 460);
    case InterfaceOrientation::LandscapeRight: return CGRectMake(0, 0, 300, 480);
    case InterfaceOrientation::LandscapeLeft: return CGRectMake(20, 0, 300, 480);
    case InterfaceOrientation::Portrait: break;
  }
  return CGRectMake(0, 20, 320, 460);
}

float Screen::scale() const {
  const Display* d = Display::shared();
  return d ? d->contentScale() : 1.f;
}

double Screen::refreshRate() const {
  const Display* d = Display::shared();
  return d ? d->refreshRate() : 60.0;
}

Ref<Window> Window::create(CGRect frame) {
  Ref<Window> w(new Window());
  if (!w->initWithFrame(frame)) return nullptr;
  return w;
}

Window::~Window() {
  if (gKeyWindow == this) gKeyWindow = nullptr;
}

void Window::makeKeyAndVisible() {
  setHidden(false);
  if (gKeyWindow && gKeyWindow != this) gKeyWindow->cancelAllTouches();
  gKeyWindow = this;
}

void Window::resignKeyWindow() {
  if (gKeyWindow != this) return;
  cancelAllTouches();
  gKeyWindow = nullptr;
}

bool Window::isKeyWindow() const { return gKeyWindow == this; }

Window* Window::keyWindow() { return gKeyWindow; }

void Window::sendTouches(TouchPhase phase, const TouchSet& touches) {
  // Group the touches by the view that owns them.
  std::vector<std::pair<Ref<View>, TouchSet>> groups;
  auto groupFor = [&groups](View* v) -> TouchSet& {
    for (auto& g : groups)
      if (g.first.get() == v) return g.second;
    groups.emplace_back(Ref<View>(v), TouchSet{});
    return groups.back().second;
  };
  for (const Touch& in : touches) {
    if (phase == TouchPhase::Began) {
      if (tracked_.count(in.id)) continue;  // already down
      View* target = nullptr;
      for (auto it = subviews().rbegin(); it != subviews().rend() && !target; ++it) target = (*it)->hitTest(in.location);
      if (!target) continue;
      if (!target->isMultipleTouchEnabled()) {
        bool busy = false;
        for (auto& [id, t] : tracked_) busy = busy || t.view.get() == target;
        for (auto& g : groups) busy = busy || (g.first.get() == target && !g.second.empty());
        if (busy) continue;
      }
      Touch t = in;
      t.location = target->convertFromWindow(in.location);
      t.previousLocation = t.location;
      t.phase = TouchPhase::Began;
      tracked_[in.id] = Tracked{Ref<View>(target), t};
      groupFor(target).push_back(t);
    } else {
      auto it = tracked_.find(in.id);
      if (it == tracked_.end()) continue;
      Touch& t = it->second.touch;
      t.previousLocation = t.location;
      t.location = it->second.view->convertFromWindow(in.location);
      t.phase = phase;
      t.timestamp = in.timestamp;
      groupFor(it->second.view.get()).push_back(t);
    }
  }
  UIEvent event;
  for (auto& [id, t] : tracked_) event.allTouches.push_back(t.touch);
  if (!touches.empty()) event.timestamp = touches.front().timestamp;
  if (phase == TouchPhase::Ended || phase == TouchPhase::Cancelled) {
    for (const Touch& in : touches) tracked_.erase(in.id);
  }
  for (auto& [view, set] : groups) {
    switch (phase) {
      case TouchPhase::Began: view->touchesBegan(set, event); break;
      case TouchPhase::Moved:
      case TouchPhase::Stationary: view->touchesMoved(set, event); break;
      case TouchPhase::Ended: view->touchesEnded(set, event); break;
      case TouchPhase::Cancelled: view->touchesCancelled(set, event); break;
    }
  }
}

void Window::cancelAllTouches() {
  if (tracked_.empty()) return;
  std::vector<std::pair<Ref<View>, TouchSet>> groups;
  UIEvent event;
  for (auto& [id, t] : tracked_) {
    Touch c = t.touch;
    c.previousLocation = c.location;
    c.phase = TouchPhase::Cancelled;
    event.allTouches.push_back(c);
    bool found = false;
    for (auto& g : groups) {
      if (g.first.get() == t.view.get()) {
        g.second.push_back(c);
        found = true;
      }
    }
    if (!found) groups.emplace_back(t.view, TouchSet{c});
  }
  tracked_.clear();
  for (auto& [view, set] : groups) view->touchesCancelled(set, event);
}

}  // namespace peckish::platform
