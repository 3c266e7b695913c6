// The process entry: reads the command line and runs the application with its delegate.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "BuildConfig.h"
#include "core/Log.h"
#include "game/PeckishAppDelegate.h"
#include "platform/Application.h"
#include "platform/Options.h"
#include "platform/Settings.h"

int main(int argc, char** argv) {
  using namespace peckish;
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
  platform::Options options = parsed.options;
  // The engine's trace lines reach the terminal only when asked for.
  const char* log = std::getenv("PECKISH_LOG");
  setLogVerbose(options.verbose || (log && std::strcmp(log, "debug") == 0));
  // SDL's offscreen driver is a headless run, whichever way it was chosen.
  const char* driver = std::getenv("SDL_VIDEODRIVER");
  if (driver && std::strcmp(driver, "offscreen") == 0) options.headless = true;
  platform::applyRememberedSettings(options);
  PeckishAppDelegate app(options);
  return platform::Application::sharedApplication()->run(&app, options);
}
