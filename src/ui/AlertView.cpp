#include "ui/AlertView.h"

#include <algorithm>

#include "engine/scene/Director.h"
#include "platform/Window.h"
#include "ui/Overlay.h"

namespace peckish::ui {
namespace {
constexpr float kBoxWidth = 284.f;
constexpr float kPad = 14.f;
constexpr float kInner = kBoxWidth - 2 * kPad;
constexpr float kRowButtonHeight = 36.f;
constexpr float kColumnButtonHeight = 32.f;
constexpr float kGap = 8.f;
const char* const kFont = "Arial";

bool inside(CGRect r, CGPoint p) {
  return p.x >= r.origin.x && p.y >= r.origin.y && p.x < r.origin.x + r.size.width && p.y < r.origin.y + r.size.height;
}
}  // namespace

Ref<AlertView> AlertView::create(const std::string& title, const std::string& message, Delegate delegate) {
  Ref<AlertView> a(new AlertView(title, message, delegate));
  a->initWithFrame(platform::Screen::mainScreen().bounds());
  return a;
}

AlertView::AlertView(const std::string& title, const std::string& message, Delegate delegate)
    : title_(title), message_(message), delegate_(delegate) {}

AlertView::~AlertView() = default;

int AlertView::addButtonWithTitle(const std::string& title) {
  Button b;
  b.title = title;
  b.label = std::make_unique<TextImage>();
  buttons_.push_back(std::move(b));
  return static_cast<int>(buttons_.size()) - 1;
}

void AlertView::layout() {
  titleImage_.set(title_, kFont, 20.f, kInner, 1);
  const int n = numberOfButtons();
  const bool row = n <= 2;
  float buttonsHeight = 0.f;
  if (n > 0) buttonsHeight = row ? kRowButtonHeight : n * kColumnButtonHeight + (n - 1) * 6.f;
  float height = 0.f;
  // A message too long for the screen at 15 points is set smaller, down to 11, rather than run
  // under the buttons or off the top.
  for (float size = 15.f;; size -= 1.f) {
    messageImage_.set(message_, kFont, size, kInner, 1);
    height = kPad + titleImage_.size().height + kGap;
    if (!message_.empty()) height += messageImage_.size().height + kGap;
    height += kPad / 2 + buttonsHeight + kPad;
    if (height <= 320.f - 8.f || size <= 11.f) break;
  }
  const float left = 240.f - kBoxWidth / 2;
  const float bottom = std::max(4.f, 160.f - height / 2);
  box_ = CGRectMake(left, bottom, kBoxWidth, height);
  float y = bottom + kPad + buttonsHeight;  // top of the buttons
  for (int i = 0; i < n; ++i) {
    Button& b = buttons_[static_cast<size_t>(i)];
    b.label->set(b.title, kFont, 17.f, 0.f, 1);
    if (row) {
      const float w = (kInner - kGap * (n - 1)) / n;
      b.rect = CGRectMake(left + kPad + i * (w + kGap), y - kRowButtonHeight, w, kRowButtonHeight);
    } else {
      b.rect = CGRectMake(left + kPad, y - (i + 1) * kColumnButtonHeight - i * 6.f, kInner, kColumnButtonHeight);
    }
  }
}

void AlertView::show() {
  if (isVisible()) return;
  Director* d = Director::sharedDirector();
  if (!d || !d->window()) return;
  layout();
  focus_.reset(numberOfButtons());
  pressed_ = -1;
  dismissing_ = false;
  // A finger that is down on the game when the alert appears belongs to the game no more.
  d->window()->cancelAllTouches();
  d->window()->addSubview(this);
  ensureOverlay();
  claimKeyboard();
}

void AlertView::dismissWithClickedButtonIndex(int index) {
  if (!isVisible() || dismissing_ || index < 0 || index >= numberOfButtons()) return;
  Ref<AlertView> keep(this);
  dismissing_ = true;
  if (delegate_) delegate_(this, index);
  removeFromSuperview();
  dismissing_ = false;
}

CGRect AlertView::buttonRect(int index) const {
  if (index < 0 || index >= numberOfButtons()) return CGRect{};
  return buttons_[static_cast<size_t>(index)].rect;
}

int AlertView::buttonAt(CGPoint p) const {
  for (int i = 0; i < numberOfButtons(); ++i)
    if (inside(buttons_[static_cast<size_t>(i)].rect, p)) return i;
  return -1;
}

AlertView* AlertView::frontmost() {
  auto all = visibleAlerts();
  return all.empty() ? nullptr : all.back();
}

std::vector<AlertView*> AlertView::visibleAlerts() {
  std::vector<AlertView*> out;
  if (!Director::exists()) return out;
  platform::Window* w = Director::shared()->window();
  if (!w) return out;
  for (const auto& v : w->subviews())
    if (auto* a = dynamic_cast<AlertView*>(v.get()); a && !a->isHidden()) out.push_back(a);
  return out;
}

void AlertView::drawIn(CGRect screen) {
  fillRect(screen, 0.f, 0.f, 0.f, 0.45f);
  fillRect(box_, 0.12f, 0.17f, 0.30f, 0.95f);
  strokeRect(box_, 0.75f, 0.80f, 0.95f, 0.9f);
  const float top = box_.origin.y + box_.size.height;
  titleImage_.drawAt(CGPointMake(box_.origin.x + kPad, top - kPad), 1.f, 1.f, 1.f, 1.f);
  if (!message_.empty()) {
    messageImage_.drawAt(CGPointMake(box_.origin.x + kPad, top - kPad - titleImage_.size().height - kGap), 0.92f, 0.92f,
                         0.92f, 1.f);
  }
  for (int i = 0; i < numberOfButtons(); ++i) {
    Button& b = buttons_[static_cast<size_t>(i)];
    const int highlighted = focus_.focused();
    const bool lit = i == pressed_ || (pressed_ < 0 && i == highlighted);
    if (lit) {
      fillRect(b.rect, 0.55f, 0.66f, 0.90f, 1.f);
    } else {
      fillRect(b.rect, 0.30f, 0.39f, 0.60f, 1.f);
    }
    strokeRect(b.rect, 0.85f, 0.88f, 1.f, i == highlighted ? 1.f : 0.5f);
    b.label->drawCentred(b.rect, 1.f, 1.f, 1.f, 1.f);
  }
}

bool AlertView::keyDown(const platform::KeyEvent& e) {
  const std::optional<NavKey> nav = navKeyFor(e);
  if (!nav) return false;
  switch (focus_.navigate(*nav, e.repeat, numberOfButtons(), [](int) { return true; })) {
    case FocusRing::Outcome::Activate:
      dismissWithClickedButtonIndex(focus_.focused());
      break;
    case FocusRing::Outcome::Back:
      if (cancelButtonIndex_ >= 0) dismissWithClickedButtonIndex(cancelButtonIndex_);
      break;
    default:
      break;
  }
  return true;
}

void AlertView::touchesBegan(const platform::TouchSet& touches, const platform::UIEvent&) {
  if (touches.empty()) return;
  pressed_ = buttonAt(touchInScene(touches.front().location));
}

void AlertView::touchesMoved(const platform::TouchSet& touches, const platform::UIEvent&) {
  if (touches.empty() || pressed_ < 0) return;
  // The press follows the finger between buttons, as on the phone.
  const int under = buttonAt(touchInScene(touches.front().location));
  if (under >= 0) pressed_ = under;
}

void AlertView::touchesEnded(const platform::TouchSet& touches, const platform::UIEvent&) {
  if (touches.empty()) return;
  const int under = buttonAt(touchInScene(touches.front().location));
  const int was = pressed_;
  pressed_ = -1;
  if (was >= 0 && under == was) dismissWithClickedButtonIndex(was);
}

void AlertView::touchesCancelled(const platform::TouchSet&, const platform::UIEvent&) { pressed_ = -1; }

}  // namespace peckish::ui
