#pragma once
// A one-line text field. Its frame is set in its superview's coordinates and its rotation
// (transform, radians) turns it about its centre, as on the phone: the Director's view is
// portrait, so a field rotated by a quarter turn reads upright in landscape.
//
// Becoming first responder brings up "the keyboard": the display's text input is switched on and
// typed text (SDL text events) is appended, up to maxBytes bytes of UTF-8 when set (cut at a
// character boundary); Backspace deletes the last character; Return asks the delegate's
// shouldReturn (which normally makes the field resign); Escape leaves editing without ending it
// and tells the delegate didCancel. Resigning switches text input off and tells the delegate
// didEndEditing. While it is first responder the field takes every key except the player's global
// ones, and shows its hint, if it has one, just under itself.
#include <string>

#include "core/Callback.h"
#include "ui/TextImage.h"
#include "ui/Widget.h"

namespace peckish::ui {

class TextField : public Widget {
 public:
  using ShouldReturn = Callback<bool(Object*)>;
  using DidEndEditing = Callback<void(Object*)>;
  using DidCancel = Callback<void(Object*)>;

  static Ref<TextField> create(CGRect frame);
  ~TextField() override;

  const std::string& text() const { return text_; }
  // Cut to maxBytes like typed text.
  void setText(const std::string& text);
  // The longest text in bytes of UTF-8; 0 (the default) for no limit. Cuts the text already there.
  size_t maxBytes() const { return maxBytes_; }
  void setMaxBytes(size_t bytes);
  // A line shown under the field while it is being edited (how to finish, for example).
  const std::string& hint() const { return hint_; }
  void setHint(const std::string& text) { hint_ = text; }
  // The box the hint is drawn in (landscape scene coordinates), empty when none is shown.
  CGRect hintRect() const;
  const std::string& placeholder() const { return placeholder_; }
  void setPlaceholder(const std::string& text) { placeholder_ = text; }
  const std::string& fontName() const { return fontName_; }
  float fontSize() const { return fontSize_; }
  void setFont(const std::string& name, float size) {
    fontName_ = name;
    fontSize_ = size;
  }
  int textAlignment() const { return alignment_; }
  void setTextAlignment(int alignment) { alignment_ = alignment; }
  // Colours as red, green, blue, alpha from 0 to 1.
  void setBackgroundColor(float r, float g, float b, float a);
  void setTextColor(float r, float g, float b, float a);
  const float* backgroundColor() const { return background_; }
  const float* textColor() const { return foreground_; }

  // Delegate operations; receivers are not owned. Without shouldReturn, Return just resigns;
  // without didCancel, Escape just leaves editing.
  void setDelegate(ShouldReturn shouldReturn, DidEndEditing didEndEditing, DidCancel didCancel = {}) {
    shouldReturn_ = shouldReturn;
    didEndEditing_ = didEndEditing;
    didCancel_ = didCancel;
  }

  bool becomeFirstResponder();
  bool resignFirstResponder();
  bool isFirstResponder() const { return firstResponder_; }
  // Leaves editing without telling the delegate (the field is being taken away).
  void abandonEditing();

  // The frame turned by the rotation about its centre, in window coordinates.
  CGRect screenFrame() const override;
  void drawIn(CGRect rect) override;
  bool wantsKeys() const override { return firstResponder_; }
  bool keyDown(const platform::KeyEvent& e) override;
  bool textInput(const std::string& text) override;
  void touchesBegan(const platform::TouchSet& touches, const platform::UIEvent& event) override;

  // The field that is first responder, or null.
  static TextField* current();

 private:
  TextField() = default;

  std::string text_, placeholder_, hint_;
  size_t maxBytes_ = 0;
  std::string fontName_ = "Helvetica";
  float fontSize_ = 17.f;
  int alignment_ = 0;
  float background_[4] = {1.f, 1.f, 1.f, 0.f};
  float foreground_[4] = {0.f, 0.f, 0.f, 1.f};
  ShouldReturn shouldReturn_;
  DidEndEditing didEndEditing_;
  DidCancel didCancel_;
  bool firstResponder_ = false;
  TextImage image_;
  TextImage hintImage_;
  std::string shownFor_;  // the text the image was made for (before trimming)
  float roomFor_ = 0.f;
};

// Removes the last UTF-8 character of the text (nothing for an empty text).
void eraseLastCharacter(std::string& text);
// Cuts a UTF-8 text to at most maxBytes bytes, never inside a character.
void truncateUtf8(std::string& text, size_t maxBytes);

}  // namespace peckish::ui
