// The application object: the launch / active / terminate sequence of run(), frame limits with a
// fixed time step, the screenshot at the end, status-bar orientation and the application frame.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>

#include "PlatformTestSupport.h"
#include "platform/Application.h"
#include "platform/Image.h"
#include "platform/Notifications.h"
#include "platform/RunLoop.h"
#include "platform/Window.h"

namespace peckish::test {
namespace {

using platform::Application;
using platform::InterfaceOrientation;
using platform::RunLoop;

// Draws a red corner at the portrait top left on a 1/30 s timer.
class DrawingShell : public platform::ApplicationDelegate {
 public:
  void applicationDidFinishLaunching(Application&) override {
    calls.push_back("launch");
    source = std::make_unique<PictureSource>();
    timer = RunLoop::main().addTimer(1.0 / 30.0, true, Callback<void()>(this, &DrawingShell::frame));
  }
  void applicationDidBecomeActive(Application&) override { calls.push_back("active"); }
  void applicationWillResignActive(Application&) override { calls.push_back("resign"); }
  void applicationWillTerminate(Application&) override {
    calls.push_back("terminate");
    RunLoop::main().invalidateTimer(timer);
  }
  void frame() {
    times.push_back(RunLoop::main().now());
    platform::GLContext::setCurrentContext(source->context.get());
    glBindFramebufferOES(GL_FRAMEBUFFER_OES, source->framebuffer);
    source->clear();
    source->paint(0, 470, 10, 10, 1, 0, 0);
    source->present();
  }
  std::vector<std::string> calls;
  std::vector<double> times;
  std::unique_ptr<PictureSource> source;
  RunLoop::TimerId timer = 0;
};

class ApplicationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(platform::Display::openHeadless(), nullptr);
    platform::Display::shared()->resize(960, 640);
    RunLoop::main().reset();
    Application::sharedApplication()->reset();
  }
  void TearDown() override {
    Application::sharedApplication()->reset();
    RunLoop::main().reset();
  }
};

TEST_F(ApplicationTest, RunLaunchesPresentsTheRequestedFramesWithAFixedStepAndWritesTheScreenshot) {
  const std::string path = testing::TempDir() + "/peckish-app.png";
  std::remove(path.c_str());
  int notified = 0;
  auto observer = platform::NotificationCenter::defaultCenter().addObserver(
      platform::kApplicationWillTerminateNotification, [&notified](void*) { ++notified; });
  platform::Options options;
  options.headless = true;
  options.frames = 3;
  options.fixedDt = 0.05;
  options.screenshot = path;
  DrawingShell shell;
  const auto before = platform::Display::shared()->presentedFrames();

  const int status = Application::sharedApplication()->run(&shell, options);

  EXPECT_EQ(status, 0);
  EXPECT_EQ(shell.calls, (std::vector<std::string>{"launch", "active", "terminate"}));
  EXPECT_EQ(platform::Display::shared()->presentedFrames(), before + 3);
  ASSERT_EQ(shell.times.size(), 3u);
  EXPECT_NEAR(shell.times[1] - shell.times[0], 0.05, 1e-6) << "each frame advances the fixed step";
  EXPECT_NEAR(shell.times[2] - shell.times[1], 0.05, 1e-6);
  EXPECT_EQ(notified, 1);
  EXPECT_TRUE(Application::sharedApplication()->isTerminated());
  EXPECT_FALSE(RunLoop::main().usesFakeClock()) << "the wall clock is back after run";

  const platform::Image png = platform::readPNG(path);
  ASSERT_EQ(png.width, 960);
  ASSERT_EQ(png.height, 640);
  EXPECT_EQ(png.pixel(0, 639), kRed);
  EXPECT_EQ(png.pixel(500, 300), kBlack);
  std::remove(path.c_str());

  Application::sharedApplication()->terminate();  // a second terminate does nothing
  EXPECT_EQ(notified, 1);
  platform::NotificationCenter::defaultCenter().removeObserver(observer);
}

TEST_F(ApplicationTest, TerminatingDuringLaunchSkipsTheLoopAndAMissingFrameFailsTheScreenshot) {
  struct QuitAtOnce : platform::ApplicationDelegate {
    int terminated = 0;
    void applicationDidFinishLaunching(Application& app) override { app.terminate(); }
    void applicationWillTerminate(Application&) override { ++terminated; }
  } shell;
  platform::Options options;
  options.headless = true;
  options.screenshot = testing::TempDir() + "/peckish-none.png";
  testing::internal::CaptureStderr();
  const int status = Application::sharedApplication()->run(&shell, options);
  testing::internal::GetCapturedStderr();
  EXPECT_EQ(shell.terminated, 1);
  EXPECT_FALSE(Application::sharedApplication()->isActive()) << "no become-active after terminating";
  // The display has presented in other tests, so a picture may exist; only a fresh process fails.
  if (platform::Display::shared()->presentedFrames() == 0) {
    EXPECT_EQ(status, 1);
  }
  std::remove(options.screenshot.c_str());
}

TEST_F(ApplicationTest, StopSignalsEndTheApplicationAsClosingTheWindowDoes) {
  for (int sig : {SIGTERM, SIGINT}) {
    // The signal arrives on the fifth frame; without a frame limit only the signal ends the run.
    struct SignalledShell : DrawingShell {
      int sig = 0;
      void applicationDidFinishLaunching(Application& app) override {
        DrawingShell::applicationDidFinishLaunching(app);
        RunLoop::main().addTimer(5.0 / 30.0, false, Callback<void()>(this, &SignalledShell::signal));
      }
      void signal() { std::raise(sig); }
    } shell;
    shell.sig = sig;
    int notified = 0;
    auto observer = platform::NotificationCenter::defaultCenter().addObserver(
        platform::kApplicationWillTerminateNotification, [&notified](void*) { ++notified; });
    platform::Options options;
    options.headless = true;
    options.fixedDt = 1.0 / 30.0;
    struct sigaction before{};
    sigaction(sig, nullptr, &before);

    EXPECT_EQ(Application::sharedApplication()->run(&shell, options), 0) << sig;

    EXPECT_EQ(shell.calls, (std::vector<std::string>{"launch", "active", "terminate"})) << sig;
    EXPECT_EQ(notified, 1) << sig;
    EXPECT_GE(shell.times.size(), 4u) << sig;
    EXPECT_LE(shell.times.size(), 6u) << "the loop ends right after the signal";
    platform::NotificationCenter::defaultCenter().removeObserver(observer);
    struct sigaction now{};
    sigaction(sig, nullptr, &now);
    EXPECT_EQ(now.sa_handler, before.sa_handler) << "the previous disposition is back after run";
    Application::sharedApplication()->reset();
    RunLoop::main().reset();
  }
}

TEST_F(ApplicationTest, StatusBarOrientationIsRecordedAndMovesTheApplicationFrame) {
  auto* app = Application::sharedApplication();
  const auto& screen = platform::Screen::mainScreen();
  EXPECT_EQ(screen.bounds(), CGRectMake(0, 0, 320, 480));
  EXPECT_EQ(app->statusBarOrientation(), InterfaceOrientation::Portrait);
  EXPECT_EQ(screen.applicationFrame(), CGRectMake(0, 20, 320, 460));
  app->setStatusBarOrientation(InterfaceOrientation::LandscapeRight, false);
  EXPECT_EQ(static_cast<int>(app->statusBarOrientation()), 3);
  EXPECT_EQ(app->statusBarOrientationChanges(), 1);
  EXPECT_FALSE(app->statusBarOrientationAnimated());
  // Landscape-right puts the portrait right edge on top.
  EXPECT_EQ(screen.applicationFrame(), CGRectMake(0, 0, 300, 480));
}

TEST_F(ApplicationTest, ActiveStateChangesCallTheDelegateOnlyOnAChange) {
  DrawingShell shell;
  auto* app = Application::sharedApplication();
  app->setDelegate(&shell);
  app->resignActive();
  app->becomeActive();
  app->becomeActive();
  app->resignActive();
  EXPECT_EQ(shell.calls, (std::vector<std::string>{"active", "resign"}));
}

TEST_F(ApplicationTest, UrlsOpenedHeadlessAreRecordedNotLaunched) {
  auto* app = Application::sharedApplication();
  EXPECT_TRUE(app->openURL("mailto:?subject=Peckish"));
  ASSERT_EQ(app->openedURLs().size(), 1u);
  EXPECT_EQ(app->openedURLs()[0], "mailto:?subject=Peckish");
}

}  // namespace
}  // namespace peckish::test
