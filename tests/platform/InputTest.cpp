// Input through the real SDL event queue: clicks and fingers reach the key window's views as
// portrait touches, keys reach key listeners, window events drive the application's life cycle.
#include <gtest/gtest.h>

#include <SDL.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "PlatformTestSupport.h"
#include "support/VirtualPad.h"
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

// Ctrl+Q ends the run as closing the window does; Q alone is a key like any other.
TEST_F(InputTest, CtrlQQuitsAsClosingTheWindowDoes) {
  auto* app = platform::Application::sharedApplication();
  app->reset();
  display->injectKey(true, platform::Key::Other, SDLK_q, false, platform::Scancode(SDL_SCANCODE_Q));
  display->injectKey(false, platform::Key::Other, SDLK_q, false, platform::Scancode(SDL_SCANCODE_Q));
  display->pumpEvents();
  display->pumpEvents();
  EXPECT_FALSE(platform::RunLoop::main().stopped());
  display->injectKey(true, platform::Key::Other, SDLK_q, true, platform::Scancode(SDL_SCANCODE_Q));
  display->pumpEvents();
  display->pumpEvents();
  EXPECT_TRUE(platform::RunLoop::main().stopped());
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

// A game controller plugged in while the game runs speaks in keys marked as the pad's: its buttons
// by one table, the d-pad and the stick an arrow a push (the stick past its dead zone, and held
// until it comes back near the middle), repeating while held. The cursor hides while it is used,
// unplugging it is told to the listeners, and the config folder's gamecontrollerdb.txt makes a
// joystick SDL does not know a controller.
TEST_F(InputTest, ControllersPlugInAndSpeakInPadKeys) {
  using platform::Key;
  struct Listener : platform::KeyListener {
    std::vector<std::string> log;
    int removed = 0;
    bool keyDown(const platform::KeyEvent& e) override { return record("down", e); }
    bool keyUp(const platform::KeyEvent& e) override { return record("up", e); }
    void padRemoved() override { ++removed; }
    bool record(const char* how, const platform::KeyEvent& e) {
      static const char* const names[] = {"Other", "Escape", "Return", "Backspace", "Tab", "Space", "Left",
                                          "Right", "Up",    "Down",   "F",         "M",   "P",     "F11"};
      log.push_back(std::string(how) + " " + names[static_cast<int>(e.key)] + (e.repeat ? " again" : "") +
                    (e.pad ? "" : " (not the pad's)"));
      return true;
    }
    std::vector<std::string> take() { return std::exchange(log, {}); }
  } listener;
  using Log = std::vector<std::string>;
  platform::FakeClock clock;
  platform::RunLoop::main().setClock(&clock);
  display->addKeyListener(&listener);
  const int before = display->padCount();

  auto pad = std::make_unique<VirtualPad>();
  ASSERT_TRUE(pad->attached()) << SDL_GetError();
  EXPECT_EQ(display->padCount(), before + 1);
  EXPECT_FALSE(display->padActive());

  const struct {
    SDL_GameControllerButton button;
    Log keys;
  } buttons[] = {
      {SDL_CONTROLLER_BUTTON_A, {"down Return", "up Return"}},
      {SDL_CONTROLLER_BUTTON_B, {"down Escape", "up Escape"}},
      {SDL_CONTROLLER_BUTTON_BACK, {"down Escape", "up Escape"}},
      {SDL_CONTROLLER_BUTTON_START, {"down P", "up P"}},
      {SDL_CONTROLLER_BUTTON_DPAD_UP, {"down Up", "up Up"}},
      {SDL_CONTROLLER_BUTTON_DPAD_RIGHT, {"down Right", "up Right"}},
      {SDL_CONTROLLER_BUTTON_X, {}},
      {SDL_CONTROLLER_BUTTON_LEFTSHOULDER, {}},
  };
  for (const auto& b : buttons) {
    SCOPED_TRACE(SDL_GameControllerGetStringForButton(b.button));
    pad->press(b.button);
    EXPECT_EQ(listener.take(), b.keys);
  }
  EXPECT_TRUE(display->padActive());
  EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), SDL_DISABLE);

  // Held: one arrow, then repeats after the delay, until let go.
  pad->hold(SDL_CONTROLLER_BUTTON_DPAD_LEFT, true);
  display->pumpEvents();
  clock.advance(platform::Input::kRepeatDelay - 0.05);
  display->pumpEvents();
  EXPECT_EQ(listener.take(), (Log{"down Left"}));
  clock.advance(0.05);
  display->pumpEvents();
  clock.advance(platform::Input::kRepeatInterval);
  display->pumpEvents();
  display->pumpEvents();
  pad->hold(SDL_CONTROLLER_BUTTON_DPAD_LEFT, false);
  display->pumpEvents();
  EXPECT_EQ(listener.take(), (Log{"down Left again", "down Left again", "up Left"}));

  // The stick, lean by lean.
  const struct {
    SDL_GameControllerAxis axis;
    Sint16 value;
    Log keys;
  } leans[] = {
      {SDL_CONTROLLER_AXIS_LEFTX, 9000, {}},  // within the dead zone
      {SDL_CONTROLLER_AXIS_LEFTX, 20000, {"down Right"}},
      {SDL_CONTROLLER_AXIS_LEFTX, 32767, {}},  // the same push
      {SDL_CONTROLLER_AXIS_LEFTX, 12000, {}},  // not yet back
      {SDL_CONTROLLER_AXIS_LEFTX, 3000, {"up Right"}},
      {SDL_CONTROLLER_AXIS_LEFTY, -30000, {"down Up"}},
      {SDL_CONTROLLER_AXIS_LEFTX, -32768, {}},  // the first direction pushed stays until let go
      {SDL_CONTROLLER_AXIS_LEFTY, 0, {"up Up", "down Left"}},
      {SDL_CONTROLLER_AXIS_LEFTX, 0, {"up Left"}},
      {SDL_CONTROLLER_AXIS_RIGHTX, 32767, {}},  // the right stick moves nothing
      {SDL_CONTROLLER_AXIS_LEFTY, 25000, {"down Down"}},
      {SDL_CONTROLLER_AXIS_LEFTY, 0, {"up Down"}},
  };
  for (const auto& l : leans) {
    SCOPED_TRACE(std::string(SDL_GameControllerGetStringForAxis(l.axis)) + " " + std::to_string(l.value));
    pad->lean(l.axis, l.value);
    display->pumpEvents();
    EXPECT_EQ(listener.take(), l.keys);
  }

  // The mouse moving shows the cursor again.
  display->injectMouseMotion(100, 100);
  display->pumpEvents();
  EXPECT_FALSE(display->padActive());
  EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), SDL_ENABLE);

  // Unplugged while a direction is held: the arrow is let go, the listeners are told once.
  pad->hold(SDL_CONTROLLER_BUTTON_DPAD_DOWN, true);
  display->pumpEvents();
  pad->unplug();
  display->pumpEvents();
  display->pumpEvents();
  EXPECT_EQ(listener.take(), (Log{"down Down", "up Down"}));
  EXPECT_EQ(listener.removed, 1);
  EXPECT_EQ(display->padCount(), before);

  // A joystick SDL has no mapping for is no controller, until the config folder's file maps it.
  char folder[] = "/tmp/peckish-pads-XXXXXX";
  ASSERT_NE(::mkdtemp(folder), nullptr);
  ::setenv("PECKISH_DATA_DIR", folder, 1);
  pad = std::make_unique<VirtualPad>(SDL_JOYSTICK_TYPE_UNKNOWN, "Unknown stick");
  ASSERT_TRUE(pad->attached());
  EXPECT_EQ(display->padCount(), before);
  const std::string guid = pad->guid();
  pad.reset();
  display->pumpEvents();
  std::filesystem::create_directories(std::string(folder) + "/config");
  std::ofstream(std::string(folder) + "/config/gamecontrollerdb.txt")
      << "# our own stick\n" << guid << ",Unknown stick,a:b3,b:b2,start:b0,platform:Linux,\n";
  EXPECT_EQ(display->loadPadMappings(), 1);
  pad = std::make_unique<VirtualPad>(SDL_JOYSTICK_TYPE_UNKNOWN, "Unknown stick");
  EXPECT_EQ(display->padCount(), before + 1);
  pad->hold(static_cast<SDL_GameControllerButton>(3), true);  // the stick's fourth button is its south
  display->pumpEvents();
  EXPECT_EQ(listener.take(), (Log{"down Return"}));
  pad.reset();
  display->pumpEvents();
  ::unsetenv("PECKISH_DATA_DIR");
  std::filesystem::remove_all(folder);

  display->removeKeyListener(&listener);
  platform::RunLoop::main().setClock(nullptr);
}

}  // namespace
}  // namespace peckish::test
