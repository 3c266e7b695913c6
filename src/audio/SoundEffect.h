#pragma once
// One short sound registered with the system-sound service, played fire-and-forget.
#include <cstdint>
#include <string>

#include "core/Object.h"

namespace peckish {

class SoundEffect : public Object {
 public:
  // Null for an empty path (no log line) or when loading failed.
  static Ref<SoundEffect> soundEffectWithContentsOfFile(const std::string& path);
  // Loads the sound at an absolute path; null when it cannot be loaded (logged).
  static Ref<SoundEffect> initWithContentsOfFile(const std::string& path);
  ~SoundEffect() override;

  void play() const;
  // The gain this sound plays at (0 to 1), at once for a play still sounding.
  void setVolume(float gain) const;
  // How long one play lasts, in seconds.
  double duration() const;
  static void vibrate();
  std::uint32_t soundID() const { return _soundID; }

 private:
  SoundEffect() = default;
  std::uint32_t _soundID = 0;
  bool loaded_ = false;
};

}  // namespace peckish
