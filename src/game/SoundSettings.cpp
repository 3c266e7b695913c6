#include "game/SoundSettings.h"

#include <algorithm>

#include "audio/AudioMute.h"
#include "audio/SoundEffect.h"
#include "audio/SoundEffectManager.h"
#include "audio/SoundEngine.h"
#include "engine/scene/Director.h"
#include "game/PeckishAppDelegate.h"
#include "game/PickupLines.h"
#include "platform/Settings.h"
#include "ui/Caption.h"

namespace peckish {
namespace {

CaptionMode gCaptionMode = CaptionMode::Auto;

// The one caption widget, made on first use and kept for the process (never destroyed, so no
// timer outlives the run loop at exit).
Ref<ui::Caption>& caption() {
  static auto* c = new Ref<ui::Caption>();
  return *c;
}

const char* settingKey(Volume which) {
  switch (which) {
    case Volume::Music: return platform::kMusicVolumeSetting;
    case Volume::Effects: return platform::kEffectsVolumeSetting;
    case Volume::Voice: return platform::kVoiceVolumeSetting;
  }
  return platform::kMusicVolumeSetting;
}

// Applies without remembering.
void applyVolume(Volume which, int percent) {
  const float gain = static_cast<float>(percent) / 100.f;
  switch (which) {
    case Volume::Music: SoundEngine_SetBackgroundMusicVolume(gain); break;
    case Volume::Effects: SoundEffectManager::sharedManager()->setVolume(SoundGroup::Effects, gain); break;
    case Volume::Voice: SoundEffectManager::sharedManager()->setVolume(SoundGroup::Voices, gain); break;
  }
}

const char* modeText(CaptionMode mode) {
  return mode == CaptionMode::On ? "on" : mode == CaptionMode::Off ? "off" : "auto";
}

}  // namespace

int soundVolume(Volume which) {
  float gain = 1.f;
  switch (which) {
    case Volume::Music: gain = SoundEngine_BackgroundMusicVolume(); break;
    case Volume::Effects: gain = SoundEffectManager::sharedManager()->volume(SoundGroup::Effects); break;
    case Volume::Voice: gain = SoundEffectManager::sharedManager()->volume(SoundGroup::Voices); break;
  }
  return static_cast<int>(gain * 100.f + 0.5f);
}

void setSoundVolume(Volume which, int percent) {
  percent = std::clamp((percent + 5) / 10 * 10, 0, 100);
  applyVolume(which, percent);
  platform::rememberVolume(settingKey(which), percent);
}

void playVolumeSample(Volume which) {
  if (which == Volume::Effects) SoundEffectManager::sharedManager()->playSound("Hit.caf");
  if (which == Volume::Voice) speakPickupLine("Holla.caf");
}

CaptionMode captionMode() { return gCaptionMode; }

void setCaptionMode(CaptionMode mode) {
  gCaptionMode = mode;
  platform::rememberCaptions(modeText(mode));
}

bool captionsShown() {
  if (gCaptionMode != CaptionMode::Auto) return gCaptionMode == CaptionMode::On;
  return isAudioMuted() || soundVolume(Volume::Voice) == 0;
}

void applyRememberedSoundSettings() {
  for (Volume which : {Volume::Music, Volume::Effects, Volume::Voice})
    applyVolume(which, platform::rememberedVolume(settingKey(which)));
  const std::string mode = platform::rememberedCaptions();
  gCaptionMode = mode == "on" ? CaptionMode::On : mode == "off" ? CaptionMode::Off : CaptionMode::Auto;
}

CGRect captionStrip(bool inGame) {
  // In a game: the sky between the fence (the back row's characters reach y 202) and the score
  // line (y 288). Elsewhere: between the main menu's two holes in the bottom corners.
  return inGame ? CGRectMake(20, 212, 440, 40) : CGRectMake(134, 2, 212, 46);
}

void speakPickupLine(const std::string& file) {
  SoundEffectManager* sounds = SoundEffectManager::sharedManager();
  SoundEffect* sound = sounds->addSound(file, SoundGroup::Voices);
  sounds->playSound(file);
  const PickupLine* line = findPickupLine(file);
  if (!sound || !line || !captionsShown() || !Director::exists()) return;
  if (!caption()) caption() = ui::Caption::create([] { return captionStrip(PeckishAppDelegate::runningGame() != nullptr); });
  caption()->show(speakerName(line->speaker), line->words, sound->duration());
}

ui::Caption* currentCaption() { return caption().get(); }

}  // namespace peckish
