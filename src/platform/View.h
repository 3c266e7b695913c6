#pragma once
// The phone's view: a rectangle in its superview (frame), its own coordinate space (bounds), a
// content scale (pixels per point of its drawable), subviews it owns, and the four touch
// operations (TouchHandler; the defaults do not answer). Touches reach the frontmost view under
// the first finger, in that view's coordinates.
#include <vector>

#include "core/Object.h"
#include "math/Vec2.h"
#include "platform/Touch.h"

namespace peckish::platform {

class Window;

class View : public Object, public TouchHandler {
 public:
  static Ref<View> create(CGRect frame);
  ~View() override;

  CGRect frame() const { return frame_; }
  // Moves and sizes the view; bounds follow the size. A size change runs layoutSubviews.
  void setFrame(CGRect frame);
  CGRect bounds() const { return bounds_; }
  void setBounds(CGRect bounds);
  float contentScaleFactor() const { return contentScale_; }
  // Pixels per point of the view's drawable (1 by default). A change runs layoutSubviews.
  void setContentScaleFactor(float scale);

  bool isMultipleTouchEnabled() const { return multipleTouch_; }
  void setMultipleTouchEnabled(bool on) { multipleTouch_ = on; }
  bool isUserInteractionEnabled() const { return interaction_; }
  void setUserInteractionEnabled(bool on) { interaction_ = on; }
  bool isHidden() const { return hidden_; }
  void setHidden(bool on) { hidden_ = on; }
  // A rotation in radians, recorded for views drawn by our own UI layer.
  float transform() const { return transform_; }
  void setTransform(float radians) { transform_ = radians; }

  // The view owns its subviews; the last added is the frontmost.
  void addSubview(View* view);
  void removeFromSuperview();
  const std::vector<Ref<View>>& subviews() const { return subviews_; }
  View* superview() const { return superview_; }
  Window* window() const;

  // The layout hook, run after size changes.
  virtual void layoutSubviews() {}

  // The frontmost visible, interactive view (this or a descendant) containing p, given in this
  // view's superview coordinates; null when none.
  View* hitTest(CGPoint p);
  // Converts a point from the window's coordinates into this view's.
  CGPoint convertFromWindow(CGPoint p) const;

 protected:
  View() = default;
  // Base initialisation; false for a frame with a negative or non-finite size.
  bool initWithFrame(CGRect frame);

 private:
  CGRect frame_{};
  CGRect bounds_{};
  float contentScale_ = 1.f;
  bool multipleTouch_ = false;
  bool interaction_ = true;
  bool hidden_ = false;
  float transform_ = 0.f;
  std::vector<Ref<View>> subviews_;
  View* superview_ = nullptr;
};

}  // namespace peckish::platform
