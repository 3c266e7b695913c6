#pragma once
// The process-wide registry of short sounds: loads them by resource file name ("Hit.caf") once,
// keeps them for the life of the process, plays them by name and carries one mute switch.
//
// Each sound belongs to a group, effects (the default) or voices (spoken lines), and each group
// has a volume (0 to 1) that every sound of the group plays at: a new volume reaches the sounds
// still sounding at once. The mute switch stays on top of both.
#include <string>
#include <unordered_map>

#include "core/Object.h"
#include "core/Singleton.h"

namespace peckish {

class SoundEffect;

enum class SoundGroup { Effects, Voices };

class SoundEffectManager : public Object, public Singleton<SoundEffectManager> {
 public:
  static SoundEffectManager* sharedManager() { return shared(); }

  // The sound registered under the file name, loading it from the resources on first use; null
  // when there is no such resource or it cannot be loaded (a later call tries again).
  SoundEffect* addSound(const std::string& name);
  // The same, registering the sound in a group (a later call may move it to another).
  SoundEffect* addSound(const std::string& name, SoundGroup group);
  // Plays the named sound (loading it first if needed) unless muted.
  void playSound(const std::string& name);

  bool isMuted() const { return muted; }
  void mute() { muted = true; }
  void unmute() { muted = false; }
  void toggleMute() { muted = !muted; }

  size_t soundCount() const { return sounds.size(); }

  // The group's volume, 0 to 1 (both start at 1).
  void setVolume(SoundGroup group, float gain);
  float volume(SoundGroup group) const { return volumes[static_cast<int>(group)]; }
  SoundGroup groupOf(const std::string& name) const;

 protected:
  SoundEffectManager();
  ~SoundEffectManager() override;
  friend class Singleton<SoundEffectManager>;

 private:
  std::unordered_map<std::string, Ref<SoundEffect>> sounds;
  std::unordered_map<std::string, SoundGroup> groups;  // the sounds outside the effects group
  float volumes[2] = {1.0f, 1.0f};
  bool muted = false;
};

}  // namespace peckish
