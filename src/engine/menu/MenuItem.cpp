#include "engine/menu/MenuItem.h"

#include "core/Exception.h"
#include "engine/render/Label.h"
#include "engine/actions/PropertyActions.h"
#include "engine/render/Texture2D.h"

namespace peckish {

namespace {

std::string& fontNameSetting() {
  static std::string name = "Marker Felt";
  return name;
}
int gFontSize = 32;

// The length of a UTF-8 text in UTF-16 units (what a phone's string length counts).
size_t textLength(const std::string& s) {
  size_t n = 0;
  for (unsigned char c : s) {
    if ((c & 0xC0) == 0x80) continue;  // continuation byte
    n += c >= 0xF0 ? 2 : 1;            // characters outside the basic plane take two units
  }
  return n;
}

}  // namespace

void MenuItem::setFontSize(int size) { gFontSize = size; }
int MenuItem::fontSize() { return gFontSize; }
void MenuItem::setFontName(const std::string& name) { fontNameSetting() = name; }
const std::string& MenuItem::fontName() { return fontNameSetting(); }

MenuItem::MenuItem(const std::string& text, const Callback<void()>& call) : call_(call) {
  if (text.empty()) raise("MenuItemInvalid", "Can't create a MenuItem without value");
  const float side = static_cast<float>(gFontSize + 2);
  const CGSize box = CGSizeMake(static_cast<float>(textLength(text)) * side, side);
  label_ = make<Label>(text, box, 1, fontNameSetting(), static_cast<float>(gFontSize));
  const CGSize s = label_->texture() ? label_->texture()->contentSize() : CGSize{};
  transformAnchor_ = Vec2(s.width / 2, s.height / 2);
}

MenuItem::~MenuItem() = default;

Ref<MenuItem> MenuItem::itemFromString(const std::string& text, const Callback<void()>& call) {
  return make<MenuItem>(text, call);
}

CGRect MenuItem::rect() const {
  const CGSize s = (label_ && label_->texture()) ? label_->texture()->contentSize() : CGSize{};
  return CGRectMake(position_.x - s.width / 2, position_.y - s.height / 2, s.width, s.height);
}

unsigned MenuItem::height() const {
  if (!label_ || !label_->texture()) return 0;
  return static_cast<unsigned>(label_->texture()->contentSize().height);
}

void MenuItem::selected() {
  stop();
  do_(ScaleTo::actionWithDuration(0.1, 1.2f));
}

void MenuItem::unselected() {
  stop();
  do_(ScaleTo::actionWithDuration(0.1, 1.0f));
}

void MenuItem::activate() {
  if (call_) call_();
}

void MenuItem::draw() {
  if (label_) label_->draw();
}

void MenuItem::setLabel(Label* label) { label_.reset(label); }

}  // namespace peckish
