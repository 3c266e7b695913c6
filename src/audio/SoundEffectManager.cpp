#include "audio/SoundEffectManager.h"

#include "audio/SoundEffect.h"
#include "platform/Paths.h"

namespace peckish {

SoundEffectManager::SoundEffectManager() { sounds.reserve(32); }

SoundEffectManager::~SoundEffectManager() = default;

SoundEffect* SoundEffectManager::addSound(const std::string& name) {
  auto it = sounds.find(name);
  if (it != sounds.end()) return it->second.get();
  Ref<SoundEffect> effect = SoundEffect::soundEffectWithContentsOfFile(platform::pathForResource(name));
  if (!effect) return nullptr;
  SoundEffect* raw = effect.get();
  sounds.emplace(name, std::move(effect));
  return raw;
}

void SoundEffectManager::playSound(const std::string& name) {
  SoundEffect* effect = addSound(name);
  if (effect && !muted) effect->play();
}

}  // namespace peckish
