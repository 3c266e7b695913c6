// The process entry: parses the command line and runs the application.
#include <cstdio>

#include "BuildConfig.h"
#include "engine/EAGLView.h"
#include "game/PlayMode.h"
#include "platform/Application.h"
#include "platform/Options.h"
#include "platform/RunLoop.h"
#include "platform/Window.h"

namespace {

using namespace peckish;

// Until the game shell exists: a black screen presented at 30 frames per second.
class BlankShell : public platform::ApplicationDelegate {
 public:
  void applicationDidFinishLaunching(platform::Application& app) override {
    const CGRect bounds = platform::Screen::mainScreen().bounds();
    window_ = platform::Window::create(bounds);
    view_ = EAGLView::create(bounds, kEAGLColorFormatRGBA8);
    if (!view_) {
      std::fprintf(stderr, "peckish: cannot create the GL view\n");
      app.terminate();
      return;
    }
    view_->setMultipleTouchEnabled(true);
    window_->addSubview(view_);
    window_->makeKeyAndVisible();
    app.setStatusBarOrientation(platform::InterfaceOrientation::LandscapeRight, false);
    timer_ = platform::RunLoop::main().addTimer(1.0 / 30.0, true, Callback<void()>(this, &BlankShell::frame));
  }
  void applicationWillTerminate(platform::Application&) override {
    platform::RunLoop::main().invalidateTimer(timer_);
  }

 private:
  void frame() {
    view_->setCurrentContext();
    glClearColor(0.f, 0.f, 0.f, 1.f);
    glClear(GL_COLOR_BUFFER_BIT);
    view_->swapBuffers();
  }

  Ref<platform::Window> window_;
  Ref<EAGLView> view_;
  platform::RunLoop::TimerId timer_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
  const auto parsed = platform::parseOptions(argc, argv);
  if (!parsed.ok) {
    std::fprintf(stderr, "peckish: %s\nTry 'peckish --help'.\n", parsed.error.c_str());
    return 2;
  }
  if (parsed.options.help) {
    std::fputs(platform::usageText().c_str(), stdout);
    return 0;
  }
  if (parsed.options.version) {
    std::printf("peckish %s\n", PECKISH_VERSION);
    return 0;
  }
  if (parsed.options.play) return runPlayMode(parsed.options);
  BlankShell shell;
  return platform::Application::sharedApplication()->run(&shell, parsed.options);
}
