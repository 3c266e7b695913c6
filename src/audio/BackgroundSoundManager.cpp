#include "audio/BackgroundSoundManager.h"

#include "audio/SoundEngine.h"
#include "core/Log.h"
#include "platform/Paths.h"

namespace peckish {

namespace {
constexpr float kMixerOutputRate = 22050.0f;
}

BackgroundSoundManager::BackgroundSoundManager() {
  stop();
  initialized_ = SoundEngine_Initialize(kMixerOutputRate) == 0;
}

BackgroundSoundManager::~BackgroundSoundManager() {
  if (SoundEngine_Teardown() != 0) engineLog("ERROR: SoundEngine_Teardown");
}

BackgroundSoundManager* BackgroundSoundManager::sharedManager() {
  std::lock_guard<std::recursive_mutex> lock(mutex());
  BackgroundSoundManager* manager = shared();
  if (!manager->initialized_) {
    // Forget the failed instance, so no one holds a manager whose engine is not there.
    purgeShared();
    engineLog("Could not initialize");
    return nullptr;
  }
  return manager;
}

void BackgroundSoundManager::playTrack(const std::string& name) {
  const std::string path = platform::pathForResource(name);
  if (!currentTrack_.empty() && currentTrack_ == path) {
    resume();
    return;
  }
  stop();
  if (path.empty()) {
    // No such resource: there is no file to hand to the engine.
    engineLog("ERROR: SoundEngine_LoadBackgroundMusicTrack");
    return;
  }
  if (SoundEngine_LoadBackgroundMusicTrack(path.c_str(), false, true) != 0) {
    engineLog("ERROR: SoundEngine_LoadBackgroundMusicTrack");
    currentTrack_.clear();
    return;
  }
  currentTrack_ = path;
  SoundEngine_StartBackgroundMusic();
}

void BackgroundSoundManager::stop() {
  paused_ = false;
  if (currentTrack_.empty()) return;
  if (SoundEngine_StopBackgroundMusic(false) != 0) {
    engineLog("ERROR: SoundEngine_StopBackgroundMusic");
    return;
  }
  SoundEngine_UnloadBackgroundMusicTrack();
  currentTrack_.clear();
}

void BackgroundSoundManager::pause() {
  if (currentTrack_.empty() || paused_) return;
  if (SoundEngine_PauseBackgroundMusic() != 0) {
    engineLog("ERROR: SoundEngine_PauseBackgroundMusic");
    return;
  }
  paused_ = true;
}

void BackgroundSoundManager::resume() {
  if (!paused_) return;
  paused_ = false;
  if (SoundEngine_ResumeBackgroundMusic() != 0) engineLog("ERROR: SoundEngine_ResumeBackgroundMusic");
}

}  // namespace peckish
