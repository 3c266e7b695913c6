#include "ui/NavigationBar.h"

#include <algorithm>

#include "ui/Overlay.h"

namespace peckish::ui {
namespace {
constexpr float kButtonWidth = 72.f;
bool inside(CGRect r, CGPoint p) {
  return r.size.width > 0 && p.x >= r.origin.x && p.y >= r.origin.y && p.x < r.origin.x + r.size.width &&
         p.y < r.origin.y + r.size.height;
}
}  // namespace

Ref<NavigationBar> NavigationBar::create(CGRect frame) {
  Ref<NavigationBar> b(new NavigationBar());
  if (!b->initWithFrame(frame)) return nullptr;
  claimKeyboard();  // Escape goes Back: the bar needs the keys even when no dialog took them first
  return b;
}

NavigationBar::~NavigationBar() = default;

void NavigationBar::showButtonsWithLeftTitle(const std::optional<std::string>& left, const std::optional<std::string>& right,
                                             bool leftBack) {
  left_ = left;
  right_ = right;
  leftBack_ = leftBack;
}

void NavigationBar::pushNavigationItem(Ref<NavigationItem> item, bool) { item_ = std::move(item); }

void NavigationBar::clickButton(int index) {
  if ((index == 0 && !left_) || (index == 1 && !right_) || index < 0 || index > 1) return;
  Ref<NavigationBar> keep(this);
  if (delegate_) delegate_(this, index);
}

CGRect NavigationBar::leftButtonRect() const {
  if (!left_) return CGRect{};
  const CGRect r = sceneRect();
  const float h = std::max(0.f, std::min(r.size.height, r.size.width) - 14.f);
  return CGRectMake(r.origin.x + 6.f, r.origin.y + (r.size.height - h) / 2, kButtonWidth, h);
}

CGRect NavigationBar::rightButtonRect() const {
  if (!right_) return CGRect{};
  const CGRect r = sceneRect();
  const float h = std::max(0.f, std::min(r.size.height, r.size.width) - 14.f);
  return CGRectMake(r.origin.x + r.size.width - 6.f - kButtonWidth, r.origin.y + (r.size.height - h) / 2, kButtonWidth, h);
}

int NavigationBar::buttonAt(CGPoint p) const {
  if (inside(leftButtonRect(), p)) return 0;
  if (inside(rightButtonRect(), p)) return 1;
  return -1;
}

void NavigationBar::drawIn(CGRect r) {
  if (barStyle_ == 1) {
    fillRect(r, 0.f, 0.f, 0.f, 1.f);
  } else {
    fillRect(r, 0.42f, 0.52f, 0.66f, 1.f);
  }
  fillRect(CGRectMake(r.origin.x, r.origin.y, r.size.width, 1.f), 0.3f, 0.3f, 0.3f, 1.f);
  if (item_) {
    titleImage_.set(item_->title(), "Arial", 20.f, 0.f, 1);
    titleImage_.drawCentred(r, 1.f, 1.f, 1.f, 1.f);
  }
  auto button = [this](CGRect b, TextImage& image, const std::string& title, bool lit) {
    fillRect(b, lit ? 0.45f : 0.22f, lit ? 0.45f : 0.22f, lit ? 0.5f : 0.25f, 1.f);
    strokeRect(b, 0.6f, 0.6f, 0.65f, 1.f);
    image.set(title, "Arial", 15.f, 0.f, 1);
    image.drawCentred(b, 1.f, 1.f, 1.f, 1.f);
  };
  if (left_) {
    const CGRect b = leftButtonRect();
    button(b, leftImage_, leftBack_ ? "\xE2\x80\xB9 " + *left_ : *left_, pressed_ == 0);
  }
  if (right_) button(rightButtonRect(), rightImage_, *right_, pressed_ == 1);
}

bool NavigationBar::keyDown(const platform::KeyEvent& e) {
  if (e.key == platform::Key::Escape && left_) {
    if (!e.repeat) clickButton(0);
    return true;
  }
  return false;
}

void NavigationBar::touchesBegan(const platform::TouchSet& touches, const platform::UIEvent&) {
  if (!touches.empty()) pressed_ = buttonAt(touchInScene(touches.front().location));
}

void NavigationBar::touchesEnded(const platform::TouchSet& touches, const platform::UIEvent&) {
  if (touches.empty()) return;
  const int was = pressed_;
  pressed_ = -1;
  if (was >= 0 && buttonAt(touchInScene(touches.front().location)) == was) clickButton(was);
}

void NavigationBar::touchesCancelled(const platform::TouchSet&, const platform::UIEvent&) { pressed_ = -1; }

}  // namespace peckish::ui
