#pragma once
// A navigation bar: a strip with a title and up to two buttons. Bar style 1 is black. The left
// button may be drawn as a back button. Pressing a button (tap, or Escape for the left one) tells
// the delegate the button's index (0 left, 1 right).
#include <memory>
#include <optional>
#include <string>

#include "core/Callback.h"
#include "ui/TextImage.h"
#include "ui/Widget.h"

namespace peckish::ui {

// Holds the title a bar shows.
class NavigationItem : public Object {
 public:
  static Ref<NavigationItem> initWithTitle(const std::string& title) { return make<NavigationItem>(title); }
  explicit NavigationItem(std::string title) : title_(std::move(title)) {}
  const std::string& title() const { return title_; }
  void setTitle(const std::string& title) { title_ = title; }

 private:
  std::string title_;
};

class NavigationBar : public Widget {
 public:
  using Delegate = Callback<void(Object*, int)>;

  static Ref<NavigationBar> create(CGRect frame);
  ~NavigationBar() override;

  void setDelegate(Delegate delegate) { delegate_ = delegate; }
  void setBarStyle(int style) { barStyle_ = style; }
  int barStyle() const { return barStyle_; }
  void showButtonsWithLeftTitle(const std::optional<std::string>& left, const std::optional<std::string>& right, bool leftBack);
  const std::optional<std::string>& leftTitle() const { return left_; }
  const std::optional<std::string>& rightTitle() const { return right_; }
  bool leftIsBack() const { return leftBack_; }
  void pushNavigationItem(Ref<NavigationItem> item, bool animated);
  NavigationItem* topItem() const { return item_.get(); }

  // Presses a button (0 left, 1 right) if it is shown.
  void clickButton(int index);
  // Button boxes in landscape scene coordinates; empty when not shown.
  CGRect leftButtonRect() const;
  CGRect rightButtonRect() const;

  void drawIn(CGRect rect) override;
  bool wantsKeys() const override { return left_.has_value(); }
  bool keyDown(const platform::KeyEvent& e) override;
  void touchesBegan(const platform::TouchSet& touches, const platform::UIEvent& event) override;
  void touchesEnded(const platform::TouchSet& touches, const platform::UIEvent& event) override;
  void touchesCancelled(const platform::TouchSet& touches, const platform::UIEvent& event) override;

 private:
  NavigationBar() = default;
  int buttonAt(CGPoint scenePoint) const;

  Delegate delegate_;
  int barStyle_ = 0;
  std::optional<std::string> left_, right_;
  bool leftBack_ = false;
  Ref<NavigationItem> item_;
  int pressed_ = -1;
  TextImage titleImage_, leftImage_, rightImage_;
};

}  // namespace peckish::ui
