#pragma once
// An alert: a title, a message and a row (or, from three on, a column) of buttons over a dimmed
// screen. Modal while shown: it covers the Director's window, so every touch reaches it, and it
// takes the keyboard with the menus' focus rules (engine/menu/FocusRing.h): Return, Enter or
// Space presses the highlighted button, which is the last one until the arrow keys, Tab or
// Shift+Tab move the highlight (wrapping at the ends); Escape presses the cancel button when there
// is one.
// The delegate is told the index of the pressed button (0 is the first button added), after which
// the alert goes away. The game underneath keeps running unless the Director is paused.
//
//   auto alert = AlertView::create("Game Over!", "Your final score is 120",
//                                  AlertView::Delegate(this, &GameNode::alertViewClickedButtonAtIndex));
//   alert->addButtonWithTitle("Main Menu");
//   alert->addButtonWithTitle("Send Score");
//   alert->show();
#include <memory>
#include <string>
#include <vector>

#include "core/Callback.h"
#include "engine/menu/FocusRing.h"
#include "ui/TextImage.h"
#include "ui/Widget.h"

namespace peckish::ui {

class AlertView : public Widget {
 public:
  // Receives the alert and the index of the pressed button. The receiver is not owned.
  using Delegate = Callback<void(Object*, int)>;

  static Ref<AlertView> create(const std::string& title, const std::string& message, Delegate delegate = {});
  ~AlertView() override;

  // Appends a button; returns its index.
  int addButtonWithTitle(const std::string& title);
  // The button Escape presses; -1 (the default) for none.
  void setCancelButtonIndex(int index) { cancelButtonIndex_ = index; }
  int cancelButtonIndex() const { return cancelButtonIndex_; }
  int numberOfButtons() const { return static_cast<int>(buttons_.size()); }
  const std::string& buttonTitleAtIndex(int index) const { return buttons_.at(static_cast<size_t>(index)).title; }
  const std::string& title() const { return title_; }
  const std::string& message() const { return message_; }
  const Delegate& delegate() const { return delegate_; }
  void setDelegate(Delegate delegate) { delegate_ = delegate; }

  // Puts the alert in front of everything in the Director's window. Showing a visible alert again
  // does nothing.
  void show();
  bool isVisible() const { return superview() != nullptr; }
  // Presses a button: the delegate is told the index, then the alert goes away. Out-of-range
  // indices and alerts that are not shown do nothing.
  void dismissWithClickedButtonIndex(int index);

  // The highlighted button (Return presses it).
  int highlightedButton() const { return focus_.focused(); }
  // A button's box in landscape scene coordinates (after the alert was laid out by show()).
  CGRect buttonRect(int index) const;
  // The index of the button under a landscape scene point, or -1.
  int buttonAt(CGPoint scenePoint) const;

  // The frontmost visible alert of the Director's window, or null.
  static AlertView* frontmost();
  // Every visible alert, back to front.
  static std::vector<AlertView*> visibleAlerts();

  void drawIn(CGRect rect) override;
  bool wantsKeys() const override { return true; }
  bool isModal() const override { return true; }
  bool keyDown(const platform::KeyEvent& e) override;
  void touchesBegan(const platform::TouchSet& touches, const platform::UIEvent& event) override;
  void touchesMoved(const platform::TouchSet& touches, const platform::UIEvent& event) override;
  void touchesEnded(const platform::TouchSet& touches, const platform::UIEvent& event) override;
  void touchesCancelled(const platform::TouchSet& touches, const platform::UIEvent& event) override;

 private:
  AlertView(const std::string& title, const std::string& message, Delegate delegate);
  void layout();

  struct Button {
    std::string title;
    std::unique_ptr<TextImage> label;
    CGRect rect{};
  };
  std::string title_, message_;
  Delegate delegate_;
  std::vector<Button> buttons_;
  int cancelButtonIndex_ = -1;
  FocusRing focus_{FocusRing::kDialog};
  int pressed_ = -1;  // button under the finger while it is down
  bool dismissing_ = false;
  TextImage titleImage_, messageImage_;
  CGRect box_{};
};

}  // namespace peckish::ui
