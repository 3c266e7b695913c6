#pragma once
// The small UI layer that stands in for the phone's dialog services: alert views, a text field, a
// navigation bar and a web view. Widgets are platform views, placed in the Director's window (or
// in the Director's own view) exactly as a phone would place them, so touches reach them through
// the window's normal hit testing: a widget covering the window takes every touch, which is what
// makes an alert modal. They are drawn with GL over the running scene on every frame, also while
// the Director is paused (the scheduler stands still, drawing does not).
//
// Coordinates: a widget's frame is given in its superview's coordinates, which for the Director's
// window and the Director's view are the portrait view coordinates (320 x 480, origin top left).
// Widgets draw themselves upright in the landscape scene coordinates (480 x 320, origin bottom
// left) into the box their frame covers on screen.
//
// Keys: the frontmost widget that wants keys gets them first (see Overlay.h).
#include <string>

#include "math/Vec2.h"
#include "platform/Display.h"
#include "platform/View.h"

namespace peckish::ui {

class Widget : public platform::View {
 public:
  ~Widget() override;

  // The box the widget covers on screen, in window coordinates (portrait, origin top left).
  // By default the frame moved by the origins of the superviews.
  virtual CGRect screenFrame() const;
  // The same box in landscape scene coordinates.
  CGRect sceneRect() const;

  // Draws the widget into its box (landscape scene coordinates). Called with the vertex array
  // enabled, texturing off and the depth test off.
  virtual void drawIn(CGRect rect) = 0;

  // Keyboard: asked only when the widget is the frontmost one that wants keys.
  virtual bool wantsKeys() const { return false; }
  // A modal widget also swallows the keys it does not use (except the player's global keys:
  // mute and fullscreen).
  virtual bool isModal() const { return false; }
  virtual bool keyDown(const platform::KeyEvent&) { return false; }
  virtual bool textInput(const std::string&) { return false; }

  // A view point (portrait, window coordinates) in landscape scene coordinates.
  static CGPoint toScene(CGPoint windowPoint);
  // A touch location in this widget's coordinates, in landscape scene coordinates.
  CGPoint touchInScene(CGPoint local) const;

 protected:
  Widget() = default;
};

}  // namespace peckish::ui
