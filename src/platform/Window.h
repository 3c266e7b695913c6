#pragma once
// The phone's window and screen.
//
//   Screen::mainScreen().bounds()             (0, 0, 320, 480), portrait points
//   Screen::mainScreen().applicationFrame()   the bounds less the 20-point status bar, on the
//                                             edge the status-bar orientation puts on top
//   Screen::mainScreen().scale()              pixels per point of the window's picture (1 with
//                                             no display); kScreenModeDidChangeNotification
//                                             tells of changes
//   Screen::mainScreen().refreshRate()        frames a second of the display (60 when unknown)
//   auto w = Window::create(Screen::mainScreen().bounds());
//   w->addSubview(view); w->makeKeyAndVisible();
//
// The key window receives every touch from the display (platform/Display.h) and hands it to the
// frontmost view under the finger that began it (View::hitTest); later phases of that finger go to
// the same view. A view that is not multiple-touch enabled gets only its first finger.
#include <map>

#include "platform/View.h"

namespace peckish::platform {

class Screen {
 public:
  static const Screen& mainScreen();
  CGRect bounds() const { return CGRectMake(0, 0, 320, 480); }
  CGRect applicationFrame() const;
  float scale() const;
  double refreshRate() const;
};

class Window : public View {
 public:
  static Ref<Window> create(CGRect frame);
  ~Window() override;

  // Makes this the key window (it receives touches) and shows it. The key window is held by the
  // platform until another window becomes key or it resigns.
  void makeKeyAndVisible();
  void resignKeyWindow();
  bool isKeyWindow() const;
  static Window* keyWindow();

  // Delivers one touch event: touches in window coordinates, all in the same phase.
  void sendTouches(TouchPhase phase, const TouchSet& touches);
  // Drops every touch in progress, telling their views touchesCancelled.
  void cancelAllTouches();

 protected:
  Window() = default;

 private:
  struct Tracked {
    Ref<View> view;
    Touch touch;  // last state, in the view's coordinates
  };
  std::map<std::int64_t, Tracked> tracked_;
};

}  // namespace peckish::platform
