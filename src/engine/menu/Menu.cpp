#include "engine/menu/Menu.h"

#include <algorithm>

#include "engine/render/DisplayMetrics.h"
#include "engine/render/QuadBatch.h"
#include "engine/scene/Director.h"
#include "engine/transitions/Transition.h"
#include "platform/GLES.h"

namespace peckish {

namespace {

int gOffsetY = 0;

CGPoint convertToScene(CGPoint p) {
  if (Director::exists()) {
    if (Director* d = Director::sharedDirector()) return d->convertCoordinate(p);
  }
  return p;
}

// The keyboard highlight's band: the dialogs' box colours, a little larger than the grown item.
constexpr float kBandPad = 4.f;

void drawRect(CGRect r, GLenum mode, float red, float green, float blue, float alpha) {
  const GLfloat x0 = r.origin.x, y0 = r.origin.y, x1 = x0 + r.size.width, y1 = y0 + r.size.height;
  const GLfloat strip[] = {x0, y0, x1, y0, x0, y1, x1, y1};
  const GLfloat loop[] = {x0, y0, x1, y0, x1, y1, x0, y1};
  glColor4f(red, green, blue, alpha);
  glVertexPointer(2, GL_FLOAT, 0, mode == GL_LINE_LOOP ? loop : strip);
  glDrawArrays(mode, 0, 4);
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
  focus_.reset(static_cast<int>(children_.size()));
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

bool Menu::canFocus(int index) const {
  const MenuItem* item = itemAt(index);
  return item && item->isEnabled() && item->visible();
}

Menu* Menu::frontmost() {
  if (!Director::exists()) return nullptr;
  Director* d = Director::shared();
  // Mid-change of scenes no screen is in front yet; a blocked stage takes no input.
  if (d->touchesBlocked() || d->nextScene() || dynamic_cast<TransitionScene*>(d->runningScene())) return nullptr;
  // The screen in front is the one whose layer takes the touches.
  auto* menu = dynamic_cast<Menu*>(d->eventHandler());
  if (!menu || !menu->isRunning() || !menu->isTouchEnabled()) return nullptr;
  for (const Node* n = menu; n; n = n->parent())
    if (!n->visible()) return nullptr;
  return menu;
}

bool Menu::navigate(NavKey key, bool repeat) {
  Ref<Menu> self(this);  // an item's call may take the menu off the stage
  const int count = static_cast<int>(children_.size());
  switch (focus_.navigate(key, repeat, count, [this](int i) { return canFocus(i); })) {
    case FocusRing::Outcome::Ignored:
      return false;
    case FocusRing::Outcome::Shown:
    case FocusRing::Outcome::Moved:
      showFocus();
      return true;
    case FocusRing::Outcome::Activate:
      if (MenuItem* item = itemAt(focus_.focused())) {
        Ref<MenuItem> keep(item);
        item->activate();  // what a tap does, so the item's sounds and records are the same
      }
      return true;
    case FocusRing::Outcome::Back:
      if (!back_) return false;
      back_();
      return true;
  }
  return false;
}

void Menu::showFocus() {
  const int want = focus_.isShown() ? focus_.focused() : -1;
  if (want == grown_) return;
  // An item a finger holds keeps its growth.
  if (grown_ != selectedItem_) {
    if (MenuItem* previous = itemAt(grown_)) previous->unselected();
  }
  grown_ = want;
  if (grown_ != selectedItem_) {
    if (MenuItem* item = itemAt(grown_)) item->selected();
  }
}

void Menu::hideFocus() {
  focus_.hide();
  showFocus();
}

void Menu::draw() {
  Layer::draw();
  if (!focus_.isShown()) return;
  const MenuItem* item = itemAt(focus_.focused());
  if (!item) return;
  const CGRect r = item->rect();
  const float s = item->scale();
  const float w = r.size.width * s + 2 * kBandPad, h = r.size.height * s + 2 * kBandPad;
  const CGRect band = CGRectMake(item->position().x - w / 2, item->position().y - h / 2, w, h);
  QuadBatch::flush();  // whatever is queued lies under the band
  const GLboolean texture = glIsEnabled(GL_TEXTURE_2D);
  glDisable(GL_TEXTURE_2D);
  glEnableClientState(GL_VERTEX_ARRAY);
  drawRect(band, GL_TRIANGLE_STRIP, 0.12f, 0.17f, 0.30f, 0.55f);
  glLineWidth(std::max(1.f, currentContentScale()));
  drawRect(band, GL_LINE_LOOP, 0.85f, 0.88f, 1.f, 1.f);
  glLineWidth(1.f);
  glDisableClientState(GL_VERTEX_ARRAY);
  glColor4f(1.f, 1.f, 1.f, 1.f);
  if (texture) glEnable(GL_TEXTURE_2D);
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
  hideFocus();  // the finger (or the mouse) steers now
  int idx = -1;
  if (MenuItem* item = itemInPoint(touches.front().locationInView(), &idx); item && item->isEnabled()) {
    item->selected();
    selectedItem_ = idx;
  }
}

void Menu::touchesMoved(const platform::TouchSet& touches, const platform::UIEvent&) {
  if (touches.empty()) return;
  Ref<Menu> self(this);
  int idx = -1;
  MenuItem* item = itemInPoint(touches.front().locationInView(), &idx);
  if (!item || !item->isEnabled() || idx == selectedItem_) return;
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
  if (MenuItem* item = itemInPoint(touches.front().locationInView(), &idx); item && item->isEnabled()) {
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
