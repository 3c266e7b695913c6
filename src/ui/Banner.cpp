#include "ui/Banner.h"

#include <algorithm>

#include "engine/scene/Director.h"
#include "platform/Window.h"
#include "ui/Overlay.h"

namespace peckish::ui {
namespace {
const char* const kFont = "Arial";
constexpr float kGap = 10.f;
constexpr float kPad = 16.f;
}  // namespace

Ref<Banner> Banner::create(const std::string& headline, const std::string& line) {
  Ref<Banner> b(new Banner(headline, line));
  b->initWithFrame(platform::Screen::mainScreen().bounds());
  b->setUserInteractionEnabled(false);
  return b;
}

Banner::Banner(const std::string& headline, const std::string& line) : headline_(headline), line_(line) {}

Banner::~Banner() = default;

void Banner::show() {
  if (isVisible()) return;
  Director* d = Director::sharedDirector();
  if (!d || !d->window()) return;
  headlineImage_.set(headline_, kFont, 40.f, 0.f, 1);
  lineImage_.set(line_, kFont, 18.f, 0.f, 1);
  d->window()->addSubview(this);
  ensureOverlay();
}

void Banner::dismiss() {
  if (!isVisible()) return;
  Ref<Banner> keep(this);
  removeFromSuperview();
}

void Banner::drawIn(CGRect screen) {
  fillRect(screen, 0.f, 0.f, 0.f, 0.45f);
  const CGSize head = headlineImage_.size();
  const CGSize sub = lineImage_.size();
  const float height = head.height + kGap + sub.height;
  const float width = std::max(head.width, sub.width) + 2 * kPad;
  const float cx = screen.origin.x + screen.size.width / 2;
  const float top = screen.origin.y + (screen.size.height + height) / 2;
  const CGRect box = CGRectMake(cx - width / 2, top - height - kPad, width, height + 2 * kPad);
  fillRect(box, 0.12f, 0.17f, 0.30f, 0.9f);
  strokeRect(box, 0.75f, 0.80f, 0.95f, 0.9f);
  headlineImage_.drawAt(CGPointMake(cx - head.width / 2, top), 1.f, 1.f, 1.f, 1.f);
  lineImage_.drawAt(CGPointMake(cx - sub.width / 2, top - head.height - kGap), 0.92f, 0.92f, 0.92f, 1.f);
}

}  // namespace peckish::ui
