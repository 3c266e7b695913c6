#pragma once
// The process-wide music player the game talks to: play a looping track by resource file name,
// stop it, and ask which track is current.
#include <string>

#include "core/Object.h"
#include "core/Singleton.h"

namespace peckish {

class BackgroundSoundManager : public Object, public Singleton<BackgroundSoundManager> {
 public:
  // The one instance, initialising the sound engine on first use. Null when the engine cannot be
  // initialised (for example without any audio output device); the next call tries again.
  static BackgroundSoundManager* sharedManager();

  // Plays the named resource ("MenuMusic.mp3") from its beginning, looping; the track already
  // playing keeps playing. A missing or unplayable file leaves no track current.
  void playTrack(const std::string& name);
  void stop();
  // Holds the current track where it is (the player's pause) / lets it go on. Playing a track or
  // stopping ends the pause; asking for the held track again lets it go on.
  void pause();
  void resume();
  bool isPaused() const { return paused_; }

  // Full resource path of the playing track, empty when nothing plays.
  const std::string& currentTrack() const { return currentTrack_; }
  void setCurrentTrack(const std::string& path) { currentTrack_ = path; }

 protected:
  BackgroundSoundManager();
  ~BackgroundSoundManager() override;
  friend class Singleton<BackgroundSoundManager>;

 private:
  std::string currentTrack_;
  bool initialized_ = false;
  bool paused_ = false;
};

}  // namespace peckish
