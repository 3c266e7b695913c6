#include "audio/SoundEffect.h"

#include "audio/backend/SystemSound.h"
#include "core/Log.h"

namespace peckish {

Ref<SoundEffect> SoundEffect::soundEffectWithContentsOfFile(const std::string& path) {
  if (path.empty()) return nullptr;
  return initWithContentsOfFile(path);
}

Ref<SoundEffect> SoundEffect::initWithContentsOfFile(const std::string& path) {
  Ref<SoundEffect> effect(new SoundEffect());
  auto url = audio::fileURLWithPath(path);
  if (!url) {
    engineLog("NSURL is nil for path: %s", path.c_str());
    return nullptr;
  }
  audio::SystemSoundID id = 0;
  audio::OSStatus error = audio::AudioServicesCreateSystemSoundID(*url, &id);
  if (error != audio::noErr) {
    engineLog("Error %d loading sound at path: %s", static_cast<int>(error), path.c_str());
    return nullptr;
  }
  effect->_soundID = id;
  effect->loaded_ = true;
  return effect;
}

SoundEffect::~SoundEffect() {
  if (loaded_) audio::AudioServicesDisposeSystemSoundID(_soundID);
}

void SoundEffect::play() const { audio::AudioServicesPlaySystemSound(_soundID); }

void SoundEffect::setVolume(float gain) const { audio::AudioServicesSetSystemSoundGain(_soundID, gain); }

double SoundEffect::duration() const { return audio::AudioServicesSystemSoundDuration(_soundID); }

void SoundEffect::vibrate() { audio::AudioServicesPlaySystemSound(audio::kSystemSoundID_Vibrate); }

}  // namespace peckish
