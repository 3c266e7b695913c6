#pragma once
// The application object and its delegate: launch, resign and regain the foreground, terminate.
//
//   class Shell : public platform::ApplicationDelegate { ... };
//   int main(int argc, char** argv) {
//     auto parsed = platform::parseOptions(argc, argv);
//     Shell shell;
//     return platform::Application::sharedApplication()->run(&shell, parsed.options);
//   }
//
// run() opens the display (options: scale, fullscreen, headless), installs the event pump, calls
// applicationDidFinishLaunching then applicationDidBecomeActive, and turns the main run loop until
// terminate(). With fixedDt a FakeClock drives the loop (each turn advances it by fixedDt, or to
// the next due timer if that is later). With frames N the application terminates after the N-th
// presented frame; with a screenshot path the last presented window image is written as PNG when
// the application terminates.
//
// terminate() (also reached by closing the window, and by SIGINT or SIGTERM while run() turns the
// loop) runs once: it gives up the HTTP exchanges running on workers (waiting for them at most
// kExchangeExitWait), writes the screenshot, calls applicationWillTerminate, posts
// kApplicationWillTerminateNotification and stops the run loop; run() then returns and the process
// ends by returning from main. A signal ends the run within 1.5 s: the loop sees it within a frame,
// and what termination waits for (the exchanges, the analytics' exit wait) stays well inside that.
// Window focus lost / gained call applicationWillResignActive / applicationDidBecomeActive (each
// only on an actual change).
#include <string>
#include <vector>

#include "core/Object.h"
#include "core/Singleton.h"
#include "platform/Options.h"
#include "platform/RunLoop.h"

namespace peckish::platform {

class Application;

class ApplicationDelegate {
 public:
  virtual ~ApplicationDelegate() = default;
  virtual void applicationDidFinishLaunching(Application&) {}
  virtual void applicationWillResignActive(Application&) {}
  virtual void applicationDidBecomeActive(Application&) {}
  virtual void applicationWillTerminate(Application&) {}
};

// Interface orientations with the phone's values.
enum class InterfaceOrientation {
  Portrait = 1,
  PortraitUpsideDown = 2,
  LandscapeRight = 3,
  LandscapeLeft = 4,
};

class Application : public Object, public Singleton<Application> {
 public:
  static Application* sharedApplication() { return shared(); }
  ~Application() override;

  // Runs the application until terminate(); returns the process exit status (0; 1 when the
  // display cannot be opened, with a one-line notice naming --headless when no display server
  // could be reached, or when the requested screenshot could not be written). Without --scale
  // the window is kept within the desktop; the window icon is the resource "Icon.png".
  int run(ApplicationDelegate* delegate, const Options& options);

  // The longest terminate() waits for exchanges on workers to end once given up.
  static constexpr double kExchangeExitWait = 0.2;  // seconds

  // Ends the application (see above). Safe to call more than once and before run().
  void terminate();
  bool isTerminated() const { return terminated_; }
  bool isRunning() const { return running_; }

  ApplicationDelegate* delegate() const { return delegate_; }
  void setDelegate(ApplicationDelegate* delegate) { delegate_ = delegate; }
  const Options& options() const { return options_; }

  // The status-bar orientation: recorded, and used by Screen::applicationFrame.
  void setStatusBarOrientation(InterfaceOrientation orientation, bool animated);
  InterfaceOrientation statusBarOrientation() const { return orientation_; }
  int statusBarOrientationChanges() const { return orientationChanges_; }  // calls so far
  bool statusBarOrientationAnimated() const { return orientationAnimated_; }

  // Foreground state, driven by window focus. Calls the delegate on a change only.
  bool isActive() const { return active_; }
  void resignActive();
  void becomeActive();

  // Opens a URL (web page, mailto:) with the desktop's handler; always recorded, and not opened
  // when headless. False when the desktop refused it.
  bool openURL(const std::string& url);
  const std::vector<std::string>& openedURLs() const { return openedURLs_; }

  // Tests: forget delegate, state, records and the fixed-step clock.
  void reset();

 private:
  friend class Singleton<Application>;
  Application() = default;
  void writeScreenshot();

  ApplicationDelegate* delegate_ = nullptr;
  Options options_;
  InterfaceOrientation orientation_ = InterfaceOrientation::Portrait;
  int orientationChanges_ = 0;
  bool orientationAnimated_ = false;
  bool active_ = false;
  bool running_ = false;
  bool terminated_ = false;
  bool screenshotWritten_ = false;
  bool screenshotFailed_ = false;
  int frameObserver_ = 0;
  FakeClock fixedClock_;
  std::vector<std::string> openedURLs_;
};

}  // namespace peckish::platform
