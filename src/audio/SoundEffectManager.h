#pragma once
// The process-wide registry of short sounds: loads them by resource file name ("Hit.caf") once,
// keeps them for the life of the process, plays them by name and carries one mute switch.
#include <string>
#include <unordered_map>

#include "core/Object.h"
#include "core/Singleton.h"

namespace peckish {

class SoundEffect;

class SoundEffectManager : public Object, public Singleton<SoundEffectManager> {
 public:
  static SoundEffectManager* sharedManager() { return shared(); }

  // The sound registered under the file name, loading it from the resources on first use; null
  // when there is no such resource or it cannot be loaded (a later call tries again).
  SoundEffect* addSound(const std::string& name);
  // Plays the named sound (loading it first if needed) unless muted.
  void playSound(const std::string& name);

  bool isMuted() const { return muted; }
  void mute() { muted = true; }
  void unmute() { muted = false; }
  void toggleMute() { muted = !muted; }

  size_t soundCount() const { return sounds.size(); }

 protected:
  SoundEffectManager();
  ~SoundEffectManager() override;
  friend class Singleton<SoundEffectManager>;

 private:
  std::unordered_map<std::string, Ref<SoundEffect>> sounds;
  bool muted = false;
};

}  // namespace peckish
