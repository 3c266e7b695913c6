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
  raw->setVolume(volume(groupOf(name)));
  sounds.emplace(name, std::move(effect));
  return raw;
}

SoundEffect* SoundEffectManager::addSound(const std::string& name, SoundGroup group) {
  if (group == SoundGroup::Effects)
    groups.erase(name);
  else
    groups[name] = group;
  SoundEffect* effect = addSound(name);
  if (effect) effect->setVolume(volume(group));
  return effect;
}

SoundGroup SoundEffectManager::groupOf(const std::string& name) const {
  auto it = groups.find(name);
  return it == groups.end() ? SoundGroup::Effects : it->second;
}

void SoundEffectManager::setVolume(SoundGroup group, float gain) {
  gain = gain < 0.0f ? 0.0f : (gain > 1.0f ? 1.0f : gain);
  volumes[static_cast<int>(group)] = gain;
  for (const auto& [name, effect] : sounds)
    if (groupOf(name) == group) effect->setVolume(gain);
}

void SoundEffectManager::playSound(const std::string& name) {
  SoundEffect* effect = addSound(name);
  if (effect && !muted) effect->play();
}

}  // namespace peckish
