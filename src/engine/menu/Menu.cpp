#include "engine/menu/Menu.h"

#include "engine/scene/Director.h"
#include "engine/render/DisplayMetrics.h"

namespace peckish {

namespace {

int gOffsetY = 0;

CGPoint convertToScene(CGPoint p) {
  if (Director::exists()) {
    if (Director* d = Director::sharedDirector()) return d->convertCoordinate(p);
  }
  return p;
}

}  // namespace

void Menu::setOffsetY(int offset) { gOffsetY = offset; }
int Menu::offsetY() { return gOffsetY; }

Menu::Menu(Ref<MenuItem> first, std::initializer_list<Ref<MenuItem>> rest) {
  std::vector<Ref<MenuItem>> items;
  items.reserve(rest.size() + 1);
  items.push_back(std::move(first));
  items.insert(items.end(), rest.begin(), rest.end());
  addItems(items);
}

Menu::Menu(const std::vector<Ref<MenuItem>>& items) { addItems(items); }

void Menu::addItems(const std::vector<Ref<MenuItem>>& items) {
  isTouchEnabled_ = true;
  selectedItem_ = -1;
  int z = 0;
  for (const Ref<MenuItem>& item : items) {
    if (!item) break;
    add(item, z++);
  }
  alignItems();
}

void Menu::alignItems() {
  MenuItem* first = itemAt(0);
  if (!first) return;  // nothing to lay out
  const CGRect win = currentWinSize();
  const int w = static_cast<int>(win.size.width);
  const int h = static_cast<int>(win.size.height);
  const unsigned step = first->height() + 5;
  const unsigned n = static_cast<unsigned>(children_.size());
  int y = h / 2 + static_cast<int>((n * step) / 2) + gOffsetY;
  const float x = static_cast<float>(w / 2);
  for (const ChildEntry& e : children_) {
    e.node->setPosition(Vec2(x, static_cast<float>(y)));
    y -= static_cast<int>(step);
  }
}

MenuItem* Menu::itemAt(int index) const {
  if (index < 0 || static_cast<size_t>(index) >= children_.size()) return nullptr;
  return dynamic_cast<MenuItem*>(children_[static_cast<size_t>(index)].node.get());
}

MenuItem* Menu::itemInPoint(CGPoint p, int* idx) {
  const CGPoint q = convertToScene(p);
  int i = 0;
  for (const ChildEntry& e : children_) {
    if (idx) *idx = i;
    ++i;
    auto* item = dynamic_cast<MenuItem*>(e.node.get());
    if (!item) continue;
    const CGRect r = item->rect();
    if (q.x >= r.origin.x && q.x < r.origin.x + r.size.width && q.y >= r.origin.y && q.y < r.origin.y + r.size.height)
      return item;
  }
  return nullptr;
}

void Menu::touchesBegan(const platform::TouchSet& touches, const platform::UIEvent&) {
  if (touches.empty()) return;
  Ref<Menu> self(this);  // an item's call may take the menu off the stage
  int idx = -1;
  if (MenuItem* item = itemInPoint(touches.front().locationInView(), &idx)) {
    item->selected();
    selectedItem_ = idx;
  }
}

void Menu::touchesMoved(const platform::TouchSet& touches, const platform::UIEvent&) {
  if (touches.empty()) return;
  Ref<Menu> self(this);
  int idx = -1;
  MenuItem* item = itemInPoint(touches.front().locationInView(), &idx);
  if (!item || idx == selectedItem_) return;
  if (selectedItem_ != -1) {
    if (MenuItem* previous = itemAt(selectedItem_)) previous->unselected();
  }
  item->selected();
  selectedItem_ = idx;
}

void Menu::touchesEnded(const platform::TouchSet& touches, const platform::UIEvent&) {
  if (touches.empty()) return;
  Ref<Menu> self(this);
  int idx = -1;
  if (MenuItem* item = itemInPoint(touches.front().locationInView(), &idx)) {
    Ref<MenuItem> keep(item);
    selectedItem_ = -1;
    item->unselected();
    item->activate();
  } else {
    if (selectedItem_ != -1) {
      if (MenuItem* previous = itemAt(selectedItem_)) previous->unselected();
    }
    selectedItem_ = -1;
  }
}

}  // namespace peckish
