#include "ui/TextField.h"

#include <cmath>

#include "engine/scene/Director.h"
#include "platform/Display.h"
#include "platform/RunLoop.h"
#include "platform/TextRaster.h"
#include "ui/Overlay.h"

namespace peckish::ui {
namespace {
TextField* gCurrent = nullptr;

void dropFirstCharacter(std::string& text) {
  size_t n = 1;
  while (n < text.size() && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) ++n;
  text.erase(0, n);
}
}  // namespace

void eraseLastCharacter(std::string& text) {
  if (text.empty()) return;
  size_t i = text.size() - 1;
  while (i > 0 && (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) --i;
  text.erase(i);
}

void truncateUtf8(std::string& text, size_t maxBytes) {
  if (text.size() <= maxBytes) return;
  size_t cut = maxBytes;
  while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
  text.resize(cut);
}

Ref<TextField> TextField::create(CGRect frame) {
  Ref<TextField> f(new TextField());
  if (!f->initWithFrame(frame)) return nullptr;
  return f;
}

TextField::~TextField() {
  if (gCurrent == this) gCurrent = nullptr;
}

TextField* TextField::current() { return gCurrent; }

void TextField::setText(const std::string& text) {
  text_ = text;
  if (maxBytes_) truncateUtf8(text_, maxBytes_);
}

void TextField::setMaxBytes(size_t bytes) {
  maxBytes_ = bytes;
  if (maxBytes_) truncateUtf8(text_, maxBytes_);
}

CGRect TextField::hintRect() const {
  if (!firstResponder_ || hint_.empty()) return CGRect{};
  const CGRect r = sceneRect();
  const CGSize size = hintImage_.text() == hint_ ? hintImage_.size() : platform::measureString(hint_, "Arial", 14.f);
  const float w = size.width + 12.f, h = size.height + 6.f;
  return CGRectMake(r.origin.x + (r.size.width - w) / 2, r.origin.y - 4.f - h, w, h);
}

void TextField::setBackgroundColor(float r, float g, float b, float a) {
  background_[0] = r;
  background_[1] = g;
  background_[2] = b;
  background_[3] = a;
}

void TextField::setTextColor(float r, float g, float b, float a) {
  foreground_[0] = r;
  foreground_[1] = g;
  foreground_[2] = b;
  foreground_[3] = a;
}

bool TextField::becomeFirstResponder() {
  if (firstResponder_) return true;
  if (gCurrent && gCurrent != this) gCurrent->resignFirstResponder();
  firstResponder_ = true;
  gCurrent = this;
  if (platform::Display* d = platform::Display::shared()) d->startTextInput();
  ensureOverlay();
  claimKeyboard();
  return true;
}

void TextField::abandonEditing() {
  if (!firstResponder_) return;
  firstResponder_ = false;
  if (gCurrent == this) gCurrent = nullptr;
  if (platform::Display* d = platform::Display::shared()) d->stopTextInput();
}

bool TextField::resignFirstResponder() {
  if (!firstResponder_) return true;
  Ref<TextField> keep(this);
  abandonEditing();
  if (didEndEditing_) didEndEditing_(this);
  return true;
}

CGRect TextField::screenFrame() const {
  CGRect f = Widget::screenFrame();
  // Turned about its centre: a quarter turn swaps width and height.
  const float c = std::abs(std::cos(transform())), s = std::abs(std::sin(transform()));
  const float w = f.size.width * c + f.size.height * s;
  const float h = f.size.width * s + f.size.height * c;
  const float cx = f.origin.x + f.size.width / 2, cy = f.origin.y + f.size.height / 2;
  return CGRectMake(cx - w / 2, cy - h / 2, w, h);
}

void TextField::drawIn(CGRect r) {
  fillRect(r, background_[0], background_[1], background_[2], background_[3]);
  const float inset = 4.f;
  const float room = r.size.width - 2 * inset;
  const bool empty = text_.empty();
  std::string shown = empty ? placeholder_ : text_;
  if (shown != shownFor_ || room != roomFor_) {
    shownFor_ = shown;
    roomFor_ = room;
    // Show the end of a text that is wider than the field.
    while (!shown.empty() && platform::measureString(shown, fontName_, fontSize_).width > room) dropFirstCharacter(shown);
    image_.set(shown, fontName_, fontSize_, 0.f, 0);
  }
  const CGSize size = image_.size();
  float x = r.origin.x + inset;
  if (alignment_ == 1) x = r.origin.x + (r.size.width - size.width) / 2;
  if (alignment_ == 2) x = r.origin.x + r.size.width - inset - size.width;
  const float top = r.origin.y + (r.size.height + size.height) / 2;
  if (empty) {
    image_.drawAt(CGPointMake(x, top), 0.7f, 0.7f, 0.7f, foreground_[3] * 0.8f);
  } else {
    image_.drawAt(CGPointMake(x, top), foreground_[0], foreground_[1], foreground_[2], foreground_[3]);
  }
  if (firstResponder_ && !hint_.empty()) {
    if (hintImage_.text() != hint_) hintImage_.set(hint_, "Arial", 14.f, 0.f, 0);
    const CGRect box = hintRect();
    fillRect(box, 0.f, 0.f, 0.f, 0.75f);
    hintImage_.drawCentred(box, 1.f, 1.f, 1.f, 0.9f);
  }
  if (firstResponder_ && std::fmod(platform::RunLoop::main().now(), 1.0) < 0.6) {
    const float caretX = empty ? (alignment_ == 1 ? r.origin.x + r.size.width / 2 : x) : x + size.width;
    fillRect(CGRectMake(caretX, r.origin.y + 4.f, 2.f, r.size.height - 8.f), foreground_[0], foreground_[1], foreground_[2],
             foreground_[3]);
  }
}

bool TextField::keyDown(const platform::KeyEvent& e) {
  using platform::Key;
  if (!firstResponder_) return false;
  if (e.key == Key::F11) return false;
  if (e.key == Key::Return || e.code == 0x40000058 /* keypad Enter */) {
    if (e.repeat) return true;
    Ref<TextField> keep(this);
    if (shouldReturn_) {
      shouldReturn_(this);
    } else {
      resignFirstResponder();
    }
    return true;
  }
  if (e.key == Key::Escape) {
    if (e.repeat) return true;
    Ref<TextField> keep(this);
    abandonEditing();
    if (didCancel_) didCancel_(this);
    return true;
  }
  if (e.key == Key::Backspace) {
    eraseLastCharacter(text_);
    return true;
  }
  // Everything else is typing (arrives as text input) or ignored while editing.
  return true;
}

bool TextField::textInput(const std::string& text) {
  if (!firstResponder_) return false;
  for (char ch : text)
    if (static_cast<unsigned char>(ch) >= 0x20 && ch != 0x7f) text_.push_back(ch);
  if (maxBytes_) truncateUtf8(text_, maxBytes_);
  return true;
}

void TextField::touchesBegan(const platform::TouchSet&, const platform::UIEvent&) { becomeFirstResponder(); }

}  // namespace peckish::ui
