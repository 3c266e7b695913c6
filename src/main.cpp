// The process entry: reads the command line and runs the application with its delegate.
#include <cstdio>

#include "BuildConfig.h"
#include "game/PeckishAppDelegate.h"
#include "platform/Application.h"
#include "platform/Options.h"

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
  PeckishAppDelegate app(parsed.options);
  return platform::Application::sharedApplication()->run(&app, parsed.options);
}
