#include "game/PlayMode.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "audio/AudioMute.h"
#include "audio/SoundEffectManager.h"
#include "engine/Director.h"
#include "engine/Scene.h"
#include "game/Autoplay.h"
#include "game/GameNode.h"
#include "platform/Application.h"

namespace peckish {

std::uint32_t gameSeed(const platform::Options& options) {
  if (options.seed) return *options.seed;
  return static_cast<std::uint32_t>(std::time(nullptr)) + static_cast<std::uint32_t>(::getpid());
}

bool runGameDirect(const platform::Options& options) {
  const std::uint32_t seed = gameSeed(options);
  ::srandom(seed);
  std::srand(seed);
  if (!Director::exists()) Director::setPixelFormat(1);
  Director* director = Director::sharedDirector();
  if (!director) return false;
  director->setLandscape(true);
  director->setMultipleTouchEnabled(true);
  if (options.mute) setAudioMuted(true);
  SoundEffectManager* effects = SoundEffectManager::sharedManager();
  effects->addSound("GameOver.caf");
  effects->addSound("Hit.caf");
  effects->addSound("Miss.caf");
  if (options.autoplay) Autoplay::start(seed);
  if (director->runningScene())
    director->replaceScene(gameNode());
  else
    director->runScene(gameNode());
  return true;
}

namespace {

class PlayShell : public platform::ApplicationDelegate {
 public:
  explicit PlayShell(const platform::Options& options) : options_(options) {}
  void applicationDidFinishLaunching(platform::Application& app) override {
    if (!runGameDirect(options_)) {
      std::fprintf(stderr, "peckish: cannot create the GL view\n");
      app.terminate();
    }
  }
  void applicationWillResignActive(platform::Application&) override {
    if (Director::exists()) Director::sharedDirector()->pause();
  }
  void applicationDidBecomeActive(platform::Application&) override {
    if (Director::exists() && Director::sharedDirector()->isPaused()) Director::sharedDirector()->resume();
  }

 private:
  platform::Options options_;
};

}  // namespace

int runPlayMode(const platform::Options& options) {
  PlayShell shell(options);
  return platform::Application::sharedApplication()->run(&shell, options);
}

}  // namespace peckish
