#pragma once
// The system-sound service stand-in: a file is decoded once into an OpenAL buffer and named by an
// id; playing an id starts it on a free source of a small pool and returns at once (nothing tracks
// the playback). Without an output device the ids still exist and play silently.
#include <cstdint>

#include "audio/backend/CoreTypes.h"

namespace peckish::audio {

using SystemSoundID = std::uint32_t;
constexpr SystemSoundID kSystemSoundID_Vibrate = 0xFFF;

OSStatus AudioServicesCreateSystemSoundID(const FileURL& url, SystemSoundID* outID);
// Unknown ids and the vibrate id play nothing.
void AudioServicesPlaySystemSound(SystemSoundID id);
OSStatus AudioServicesDisposeSystemSoundID(SystemSoundID id);

// The gain (0 silent, 1 as recorded) the id plays at from now on; a play of it still sounding
// takes the new gain at once. Unknown ids are ignored. New ids play at 1.
void AudioServicesSetSystemSoundGain(SystemSoundID id, float gain);
// How long the id's sound plays, in seconds (known with or without an output device); 0 for
// unknown ids.
double AudioServicesSystemSoundDuration(SystemSoundID id);

// Number of sources in the play pool; when all are busy the one started longest ago is reused.
constexpr int kSystemSoundSources = 8;

}  // namespace peckish::audio
