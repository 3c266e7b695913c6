#pragma once
// MenuItem: a node that draws a Label of its text, grows while a finger is on it and, when the
// finger is lifted over it, calls a member function of a receiver (not owned).
//
//   MenuItem::setFontName("Marker Felt");   // class-wide, read when an item is created
//   MenuItem::setFontSize(24);
//   auto play = MenuItem::itemFromString("Play", this, &MainMenu::play);
//
// The label box is (characters x (font size + 2)) by (font size + 2) points, centred on the
// item's position; rect() is that box (scale not applied).
#include <string>

#include "core/Callback.h"
#include "engine/scene/Node.h"
#include "math/Vec2.h"

namespace peckish {

class Label;

class MenuItem : public Node {
 public:
  // There is no plain construction: an item always has a text and a call. An empty text raises
  // "MenuItemInvalid" / "Can't create a MenuItem without value".
  MenuItem(const std::string& text, const Callback<void()>& call);
  template <class C>
  MenuItem(const std::string& text, C* receiver, void (C::*method)()) : MenuItem(text, Callback<void()>(receiver, method)) {}
  ~MenuItem() override;

  static Ref<MenuItem> itemFromString(const std::string& text, const Callback<void()>& call);
  template <class C>
  static Ref<MenuItem> itemFromString(const std::string& text, C* receiver, void (C::*method)()) {
    return make<MenuItem>(text, Callback<void()>(receiver, method));
  }

  // Class-wide font settings (defaults "Marker Felt", 32); they apply to items created later.
  static void setFontSize(int size);
  static int fontSize();
  static void setFontName(const std::string& name);
  static const std::string& fontName();

  // The label box centred on the position, current scale not applied.
  CGRect rect() const;
  // The label box height, truncated.
  unsigned height() const;

  // Stops the item's actions and scales to 1.2 over 0.1 s.
  void selected();
  // Stops the item's actions and scales back to 1.0 over 0.1 s.
  void unselected();
  // Performs the stored call (nothing when it has no receiver).
  void activate();

  // A disabled item stays on show but neither the keyboard focus nor a tap reaches it.
  void setIsEnabled(bool enabled) { enabled_ = enabled; }
  bool isEnabled() const { return enabled_; }

  // Draws the label in the item's own coordinates (the label is not a child).
  void draw() override;

  Label* label() const { return label_.get(); }
  // The item holds a reference to the label it shows.
  void setLabel(Label* label);
  const Callback<void()>& call() const { return call_; }

 private:
  Ref<Label> label_;
  Callback<void()> call_;
  bool enabled_ = true;
};

}  // namespace peckish
