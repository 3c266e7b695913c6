// Input through the real SDL event queue: clicks and fingers reach the key window's views as
// portrait touches, keys reach key listeners, window events drive the application's life cycle.
#include <gtest/gtest.h>

#include <SDL.h>

#include "PlatformTestSupport.h"
#include "platform/Application.h"
#include "platform/Notifications.h"
#include "platform/RunLoop.h"
#include "platform/Window.h"

namespace peckish::test {
namespace {

using platform::Display;
using platform::Window;

class InputTest : public ::testing::Test {
 protected:
  void SetUp() override {
    display = Display::openHeadless();
    ASSERT_NE(display, nullptr);
    display->resize(960, 640);
    display->pumpEvents();  // drop whatever earlier tests left queued
    window = Window::create(platform::Screen::mainScreen().bounds());
    view = RecordingView::make(window->bounds());
    window->addSubview(view);
    window->makeKeyAndVisible();
  }
  void TearDown() override {
    window->resignKeyWindow();
    display->pumpEvents();
  }
  // Window pixel of a landscape point measured from the window's lower left, at scale 2.
  static float wx(float lx) { return lx * 2.f; }
  static float wy(float ly) { return 640.f - ly * 2.f; }

  Display* display = nullptr;
  Ref<Window> window;
  Ref<RecordingView> view;
};

TEST_F(InputTest, ClickReachesTheViewAsPortraitPointWithLandscapeCoordinatesSwapped) {
  display->injectMouseButton(true, wx(100), wy(50));
  display->injectMouseMotion(wx(110), wy(60));
  display->injectMouseButton(false, wx(110), wy(60));
  display->pumpEvents();
  ASSERT_EQ(view->touches.size(), 3u);
  EXPECT_EQ(view->touches[0].phase, "began");
  EXPECT_FLOAT_EQ(view->touches[0].location.x, 50.f);
  EXPECT_FLOAT_EQ(view->touches[0].location.y, 100.f);
  EXPECT_EQ(view->touches[1].phase, "moved");
  EXPECT_FLOAT_EQ(view->touches[1].location.x, 60.f);
  EXPECT_FLOAT_EQ(view->touches[1].location.y, 110.f);
  EXPECT_FLOAT_EQ(view->touches[1].previous.x, 50.f);
  EXPECT_EQ(view->touches[2].phase, "ended");
  EXPECT_EQ(view->touches[0].id, view->touches[2].id);
}

TEST_F(InputTest, MotionWithoutAPressAndClicksOnTheBarsAreIgnored) {
  display->injectMouseMotion(wx(100), wy(50));
  display->pumpEvents();
  EXPECT_TRUE(view->touches.empty());
  display->resize(1200, 640);
  if (display->width() != 1200) GTEST_SKIP() << "the video driver does not resize windows";
  display->injectMouseButton(true, 60, 300);  // in the left bar
  display->injectMouseButton(false, 60, 300);
  display->pumpEvents();
  EXPECT_TRUE(view->touches.empty());
  // A drag that leaves the picture ends at its edge.
  display->injectMouseButton(true, 120 + wx(10), wy(10));
  display->injectMouseButton(false, 5, wy(10));
  display->pumpEvents();
  ASSERT_EQ(view->touches.size(), 2u);
  EXPECT_FLOAT_EQ(view->touches[1].location.y, 0.f);
}

TEST_F(InputTest, FingersAreSeparateTouchesOnlyForMultipleTouchViews) {
  // Normalised window positions: landscape (120, 80) and (360, 240).
  display->injectFinger(Display::FingerPhase::Down, 7, 0.25f, 0.75f);
  display->injectFinger(Display::FingerPhase::Down, 8, 0.75f, 0.25f);
  display->injectFinger(Display::FingerPhase::Up, 7, 0.25f, 0.75f);
  display->injectFinger(Display::FingerPhase::Up, 8, 0.75f, 0.25f);
  display->pumpEvents();
  ASSERT_EQ(view->touches.size(), 2u) << "single-touch view: the second finger is dropped";
  EXPECT_EQ(view->touches[0].id, 7);
  EXPECT_FLOAT_EQ(view->touches[0].location.x, 80.f);
  EXPECT_FLOAT_EQ(view->touches[0].location.y, 120.f);

  view->touches.clear();
  view->setMultipleTouchEnabled(true);
  display->injectFinger(Display::FingerPhase::Down, 7, 0.25f, 0.75f);
  display->injectFinger(Display::FingerPhase::Down, 8, 0.75f, 0.25f);
  display->injectFinger(Display::FingerPhase::Motion, 8, 0.5f, 0.5f);
  display->injectFinger(Display::FingerPhase::Up, 7, 0.25f, 0.75f);
  display->injectFinger(Display::FingerPhase::Up, 8, 0.5f, 0.5f);
  display->pumpEvents();
  ASSERT_EQ(view->touches.size(), 5u);
  EXPECT_EQ(view->touches[1].id, 8);
  EXPECT_FLOAT_EQ(view->touches[1].location.x, 240.f);
  EXPECT_FLOAT_EQ(view->touches[1].location.y, 360.f);
  EXPECT_EQ(view->touches[2].phase, "moved");
  EXPECT_FLOAT_EQ(view->touches[2].location.x, 160.f);
  EXPECT_FLOAT_EQ(view->touches[2].location.y, 240.f);
}

TEST_F(InputTest, TouchesGoToTheFrontmostViewUnderTheFingerInItsCoordinates) {
  auto front = RecordingView::make(CGRectMake(100, 200, 50, 50));
  window->addSubview(front);
  // View point (110, 220) = landscape (220, 110).
  display->injectMouseButton(true, wx(220), wy(110));
  display->injectMouseButton(false, wx(20), wy(20));  // the end goes to the same view
  display->pumpEvents();
  ASSERT_EQ(front->touches.size(), 2u);
  EXPECT_TRUE(view->touches.empty());
  EXPECT_FLOAT_EQ(front->touches[0].location.x, 10.f);
  EXPECT_FLOAT_EQ(front->touches[0].location.y, 20.f);
  front->setHidden(true);
  display->injectMouseButton(true, wx(220), wy(110));
  display->injectMouseButton(false, wx(220), wy(110));
  display->pumpEvents();
  EXPECT_EQ(view->touches.size(), 2u);
  front->removeFromSuperview();
  EXPECT_EQ(window->subviews().size(), 1u);
}

TEST_F(InputTest, LosingFocusOrMinimisingCancelsTouchesAndResignsActive) {
  struct Recorder : platform::ApplicationDelegate {
    std::vector<std::string> calls;
    void applicationWillResignActive(platform::Application&) override { calls.push_back("resign"); }
    void applicationDidBecomeActive(platform::Application&) override { calls.push_back("active"); }
    void applicationWillTerminate(platform::Application&) override { calls.push_back("terminate"); }
  } rec;
  auto* app = platform::Application::sharedApplication();
  app->reset();
  app->setDelegate(&rec);
  app->becomeActive();
  int notified = 0;
  auto observer = platform::NotificationCenter::defaultCenter().addObserver(
      platform::kApplicationWillTerminateNotification, [&notified](void*) { ++notified; });

  display->injectMouseButton(true, wx(100), wy(50));
  display->injectWindowEvent(SDL_WINDOWEVENT_FOCUS_LOST);
  display->injectWindowEvent(SDL_WINDOWEVENT_FOCUS_LOST);
  display->injectWindowEvent(SDL_WINDOWEVENT_FOCUS_GAINED);
  display->injectWindowEvent(SDL_WINDOWEVENT_MINIMIZED);  // resigns whatever the focus does
  display->injectWindowEvent(SDL_WINDOWEVENT_RESTORED);
  display->injectWindowEvent(SDL_WINDOWEVENT_FOCUS_LOST);
  display->injectWindowEvent(SDL_WINDOWEVENT_RESTORED);  // from maximised, not minimised: still away
  display->injectWindowEvent(SDL_WINDOWEVENT_FOCUS_GAINED);
  display->injectWindowEvent(SDL_WINDOWEVENT_CLOSE);
  display->injectQuit();
  display->pumpEvents();

  ASSERT_EQ(view->touches.size(), 2u);
  EXPECT_EQ(view->touches[1].phase, "cancelled");
  EXPECT_EQ(rec.calls, (std::vector<std::string>{"active", "resign", "active", "resign", "active", "resign", "active",
                                                 "terminate"}));
  EXPECT_EQ(notified, 1);
  EXPECT_TRUE(platform::RunLoop::main().stopped());

  platform::NotificationCenter::defaultCenter().removeObserver(observer);
  app->reset();
  platform::RunLoop::main().resetStop();
}

TEST_F(InputTest, KeyListenersAreAskedNewestFirstAndCanTakeTheFullscreenKeys) {
  struct Listener : platform::KeyListener {
    bool take = false;
    std::vector<platform::Key> downs;
    bool keyDown(const platform::KeyEvent& e) override {
      downs.push_back(e.key);
      return take;
    }
  } older, newer;
  display->addKeyListener(&older);
  display->addKeyListener(&newer);
  display->addKeyListener(&newer);  // once only
  const bool wasFullscreen = display->fullscreen();

  display->injectKey(true, platform::Key::Escape);
  display->injectKey(true, platform::Key::F11);
  display->pumpEvents();
  EXPECT_EQ(newer.downs, (std::vector<platform::Key>{platform::Key::Escape, platform::Key::F11}));
  EXPECT_EQ(older.downs.size(), 2u);
  EXPECT_NE(display->fullscreen(), wasFullscreen) << "F11 nobody took toggles fullscreen";

  newer.take = true;
  display->injectKey(true, platform::Key::F);
  display->injectKey(true, platform::Key::Other, 'q');
  display->pumpEvents();
  EXPECT_NE(display->fullscreen(), wasFullscreen) << "a taken F does not toggle";
  EXPECT_EQ(older.downs.size(), 2u);
  ASSERT_EQ(newer.downs.size(), 4u);
  EXPECT_EQ(newer.downs[3], platform::Key::Other);

  newer.take = false;
  display->startTextInput();
  display->injectKey(true, platform::Key::F);
  display->pumpEvents();
  EXPECT_NE(display->fullscreen(), wasFullscreen) << "F is a letter while text is typed";
  display->stopTextInput();
  display->injectKey(true, platform::Key::F);
  display->pumpEvents();
  EXPECT_EQ(display->fullscreen(), wasFullscreen);

  display->removeKeyListener(&older);
  display->removeKeyListener(&newer);
}

TEST_F(InputTest, EveryNamedKeyArrivesAsItselfAndTheKeypadEnterAsReturn) {
  struct Listener : platform::KeyListener {
    std::vector<platform::Key> downs;
    bool keyDown(const platform::KeyEvent& e) override {
      downs.push_back(e.key);
      return true;  // keeps F and F11 from toggling fullscreen
    }
  } listener;
  display->addKeyListener(&listener);
  std::vector<platform::Key> named;
  for (int k = static_cast<int>(platform::Key::Escape); k <= static_cast<int>(platform::Key::F11); ++k) {
    named.push_back(static_cast<platform::Key>(k));
    display->injectKey(true, named.back());
  }
  display->injectKey(true, platform::Key::Other, SDLK_KP_ENTER);
  display->pumpEvents();
  named.push_back(platform::Key::Return);
  EXPECT_EQ(listener.downs, named);
  display->removeKeyListener(&listener);
}

}  // namespace
}  // namespace peckish::test
