#include "platform/Application.h"

#include <SDL.h>

#include <atomic>
#include <csignal>
#include <cmath>
#include <cstdio>

#include "core/Log.h"
#include "platform/Display.h"
#include "platform/Http.h"
#include "platform/Image.h"
#include "platform/Notifications.h"
#include "platform/Paths.h"

namespace peckish::platform {
namespace {

// Set by the signal handler, read by the main thread between turns of the loop. A handler may touch
// only a lock-free atomic (or a volatile sig_atomic_t): anything that could take a lock is unsafe.
std::atomic<bool> gStopSignal{false};
static_assert(std::atomic<bool>::is_always_lock_free, "the stop flag is written from a signal handler");

void onStopSignal(int) { gStopSignal.store(true, std::memory_order_relaxed); }

// SIGINT and SIGTERM end the application as closing its window does, while run() turns the loop.
// SA_RESETHAND puts the default action back once the handler has run (not the disposition this
// replaced), so the same signal sent again ends the process at once, as the default action does;
// run() restores the previous dispositions when it returns.
class StopSignals {
 public:
  StopSignals() {
    gStopSignal.store(false);
    struct sigaction sa{};
    sa.sa_handler = onStopSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESETHAND;
    sigaction(SIGINT, &sa, &previousInt_);
    sigaction(SIGTERM, &sa, &previousTerm_);
  }
  ~StopSignals() {
    sigaction(SIGINT, &previousInt_, nullptr);
    sigaction(SIGTERM, &previousTerm_, nullptr);
  }
  StopSignals(const StopSignals&) = delete;
  StopSignals& operator=(const StopSignals&) = delete;
  static bool received() { return gStopSignal.load(std::memory_order_relaxed); }

 private:
  struct sigaction previousInt_{};
  struct sigaction previousTerm_{};
};

}  // namespace

Application::~Application() = default;

int Application::run(ApplicationDelegate* delegate, const Options& options) {
  delegate_ = delegate;
  options_ = options;
  terminated_ = false;
  screenshotWritten_ = false;
  screenshotFailed_ = false;

  DisplayOptions d;
  d.scale = options.scale;
  d.fullscreen = options.fullscreen;
  d.headless = options.headless;
  d.capToDesktop = !options.scaleGiven;
  if (!options.headless) d.icon = pathForResource("Icon.png");
  Display* display = Display::open(d);
  if (!display) {
    if (Display::noDisplayServer()) {
      playerNotice("no display server could be reached; use --headless to run without a window");
    } else {
      std::fprintf(stderr, "peckish: cannot open an OpenGL ES 1.1 window\n");
    }
    return 1;
  }
  display->attachToRunLoop();
  // A frame drawn into the window can only be read before its swap.
  display->setKeepsLastFrame(!options.screenshot.empty());
  RunLoop& loop = RunLoop::main();
  loop.resetStop();

  const bool fixedStep = options.fixedDt > 0.0 && std::isfinite(options.fixedDt);
  if (fixedStep) {
    fixedClock_.set(std::floor(loop.now()));  // today's date, whole seconds
    loop.setClock(&fixedClock_);
  }
  if (options.frames > 0) {
    const std::uint64_t last = display->presentedFrames() + static_cast<std::uint64_t>(options.frames);
    frameObserver_ = display->addPresentObserver([this, display, last] {
      if (display->presentedFrames() == last) RunLoop::main().post([this] { terminate(); });
    });
  }

  StopSignals signals;
  running_ = true;
  if (delegate_) delegate_->applicationDidFinishLaunching(*this);
  if (!terminated_) becomeActive();

  if (fixedStep) {
    while (!loop.stopped()) {
      if (StopSignals::received()) {
        terminate();
        continue;
      }
      fixedClock_.advance(options.fixedDt);
      const double due = loop.nextTimerDue();
      if (std::isfinite(due) && due > fixedClock_.now()) fixedClock_.set(due);
      loop.runOnce(0.0);
    }
  } else {
    while (!loop.stopped()) {
      if (StopSignals::received()) {
        terminate();
        continue;
      }
      loop.runOnce(0.25);
    }
  }
  running_ = false;
  terminate();  // a loop stopped by other means still ends the application properly

  if (frameObserver_) {
    display->removePresentObserver(frameObserver_);
    frameObserver_ = 0;
  }
  if (fixedStep) loop.setClock(nullptr);
  return screenshotFailed_ ? 1 : 0;
}

void Application::terminate() {
  if (terminated_) return;
  terminated_ = true;
  // Exchanges on workers (a score on its way) are given up first: they cannot hold up the exit.
  if (!HttpExchange::cancelAll(kExchangeExitWait))
    engineLog("%d exchanges still running at exit", HttpExchange::running());
  writeScreenshot();
  if (delegate_) delegate_->applicationWillTerminate(*this);
  NotificationCenter::defaultCenter().post(kApplicationWillTerminateNotification, this);
  RunLoop::main().stop();
}

void Application::writeScreenshot() {
  if (options_.screenshot.empty() || screenshotWritten_) return;
  screenshotWritten_ = true;
  Display* display = Display::shared();
  Image image = display ? display->captureWindow() : Image{};
  if (image.empty()) {
    std::fprintf(stderr, "peckish: no frame was presented, %s not written\n", options_.screenshot.c_str());
    screenshotFailed_ = true;
    return;
  }
  if (!writePNG(options_.screenshot, image)) {
    std::fprintf(stderr, "peckish: cannot write %s\n", options_.screenshot.c_str());
    screenshotFailed_ = true;
  }
}

void Application::setStatusBarOrientation(InterfaceOrientation orientation, bool animated) {
  orientation_ = orientation;
  orientationAnimated_ = animated;
  ++orientationChanges_;
}

void Application::resignActive() {
  if (!active_) return;
  active_ = false;
  if (delegate_) delegate_->applicationWillResignActive(*this);
}

void Application::becomeActive() {
  if (active_ || terminated_) return;
  active_ = true;
  if (delegate_) delegate_->applicationDidBecomeActive(*this);
}

bool Application::openURL(const std::string& url) {
  openedURLs_.push_back(url);
  Display* display = Display::shared();
  if (!display || display->headless()) return true;
  if (SDL_OpenURL(url.c_str()) != 0) {
    engineLog("cannot open %s: %s", url.c_str(), SDL_GetError());
    return false;
  }
  return true;
}

void Application::reset() {
  delegate_ = nullptr;
  options_ = Options{};
  orientation_ = InterfaceOrientation::Portrait;
  orientationChanges_ = 0;
  orientationAnimated_ = false;
  active_ = false;
  running_ = false;
  terminated_ = false;
  screenshotWritten_ = false;
  screenshotFailed_ = false;
  openedURLs_.clear();
}

}  // namespace peckish::platform
