#include "audio/AudioMute.h"

#include "audio/SoundEffectManager.h"
#include "audio/backend/AudioQueue.h"

namespace peckish {

namespace {
bool gMuted = false;
}

void setAudioMuted(bool muted) {
  gMuted = muted;
  SoundEffectManager* effects = SoundEffectManager::sharedManager();
  if (muted)
    effects->mute();
  else
    effects->unmute();
  audio::setOutputQueuesSilenced(muted);
}

bool isAudioMuted() { return gMuted; }

bool toggleAudioMuted() {
  setAudioMuted(!gMuted);
  return gMuted;
}

}  // namespace peckish
