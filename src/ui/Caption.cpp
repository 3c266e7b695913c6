#include "ui/Caption.h"

#include <algorithm>

#include "engine/scene/Director.h"
#include "platform/Window.h"
#include "ui/Overlay.h"

namespace peckish::ui {
namespace {
const char* const kFont = "Arial";
constexpr float kPad = 5.f;
}  // namespace

Ref<Caption> Caption::create(std::function<CGRect()> placement) {
  Ref<Caption> c(new Caption(std::move(placement)));
  c->initWithFrame(platform::Screen::mainScreen().bounds());
  c->setUserInteractionEnabled(false);
  return c;
}

Caption::~Caption() {
  if (timer_) platform::RunLoop::main().invalidateTimer(timer_);
}

void Caption::show(const std::string& speaker, const std::string& words, double seconds) {
  Director* d = Director::sharedDirector();
  if (!d || !d->window()) return;
  speaker_ = speaker;
  words_ = words;
  speakerImage_.set(speaker_ + ":", kFont, kTextSize, 0.f, 0);
  layOut(placement_().size.width);
  if (timer_) platform::RunLoop::main().invalidateTimer(timer_);
  timer_ = platform::RunLoop::main().addTimer(seconds, false, Callback<void()>(this, &Caption::expire));
  if (superview() != d->window()) {
    Ref<Caption> keep(this);
    removeFromSuperview();  // a window of an earlier Director
    d->window()->addSubview(this);
  }
  ensureOverlay();
}

void Caption::layOut(float width) {
  laidOutWidth_ = width;
  wordsImage_.set(words_, kFont, kTextSize, std::max(width - 3 * kPad - speakerImage_.size().width, 1.f), 0);
}

void Caption::expire() {
  timer_ = 0;
  dismiss();
}

void Caption::dismiss() {
  if (timer_) platform::RunLoop::main().invalidateTimer(timer_);
  timer_ = 0;
  if (!isVisible()) return;
  Ref<Caption> keep(this);
  removeFromSuperview();
}

void Caption::drawIn(CGRect screen) {
  const CGRect strip = placement_();
  if (strip.size.width != laidOutWidth_) layOut(strip.size.width);
  const CGRect box =
      CGRectMake(screen.origin.x + strip.origin.x, screen.origin.y + strip.origin.y, strip.size.width, strip.size.height);
  fillRect(box, 0.f, 0.f, 0.f, 0.6f);
  const CGSize who = speakerImage_.size();
  const CGSize said = wordsImage_.size();
  // Both vertically centred in the strip; the speaker in yellow, the words in white.
  const float top = box.origin.y + box.size.height / 2;
  speakerImage_.drawAt(CGPointMake(box.origin.x + kPad, top + who.height / 2), 1.f, 0.85f, 0.3f, 1.f);
  wordsImage_.drawAt(CGPointMake(box.origin.x + 2 * kPad + who.width, top + said.height / 2), 1.f, 1.f, 1.f, 1.f);
}

}  // namespace peckish::ui
