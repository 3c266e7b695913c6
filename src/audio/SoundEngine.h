#pragma once
// The sound engine's plain-function interface: one OpenAL device object and at most one background
// track player for the process. Every function returns a result code: 0 success, 1 no player
// (never initialised or unloaded), 3 no file URL could be made from a path, 5 no OpenAL output
// device; anything else is the underlying service's own code.
#include <cstdint>

namespace peckish {

class OpenALObject;
class BackgroundTrackMgr;

using SoundEngineResult = std::int32_t;

// Multiplies every queue volume when a queue is set up.
extern float gMasterVolumeGain;

SoundEngineResult SoundEngine_Initialize(float mixerOutputRate);
SoundEngineResult SoundEngine_Teardown();
SoundEngineResult SoundEngine_LoadBackgroundMusicTrack(const char* path, bool addToQueue, bool loadAtOnce);
SoundEngineResult SoundEngine_UnloadBackgroundMusicTrack();
SoundEngineResult SoundEngine_StartBackgroundMusic();
SoundEngineResult SoundEngine_StopBackgroundMusic(bool stopAtEnd);
// Holds the playing track where it is / lets it go on from there.
SoundEngineResult SoundEngine_PauseBackgroundMusic();
SoundEngineResult SoundEngine_ResumeBackgroundMusic();

// The player's music volume (0 to 1): the volume of every track player from now on, and at once
// of the one playing (its queue volume becomes gain × gMasterVolumeGain). Returns the queue's
// result, 0 when no track is loaded. Starts at 1.
SoundEngineResult SoundEngine_SetBackgroundMusicVolume(float gain);
float SoundEngine_BackgroundMusicVolume();

// The engine's objects, for diagnostics and tests (null when absent).
OpenALObject* SoundEngine_OpenALObject();
BackgroundTrackMgr* SoundEngine_BackgroundTrackMgr();

}  // namespace peckish
