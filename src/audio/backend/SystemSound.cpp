#include "audio/backend/SystemSound.h"

#include <AL/al.h>

#include <array>
#include <map>

#include "audio/backend/Output.h"
#include "audio/backend/SoundDecoder.h"

namespace peckish::audio {
namespace {

// One registered sound: its buffer (0 when decoded without a device), gain and length.
struct Sound {
  ALuint buffer = 0;
  float gain = 1.0f;
  double seconds = 0.0;
};

struct Service {
  std::map<SystemSoundID, Sound> sounds;
  SystemSoundID nextID = kSystemSoundID_Vibrate + 2;
  bool holdsOutput = false;
  std::array<ALuint, kSystemSoundSources> sources{};
  std::array<std::uint64_t, kSystemSoundSources> started{};
  std::uint64_t playSerial = 0;
  bool sourcesMade = false;

  void makeSources() {
    if (sourcesMade || !holdsOutput) return;
    alGetError();
    alGenSources(kSystemSoundSources, sources.data());
    if (alGetError() != AL_NO_ERROR) {
      sources.fill(0);
      return;
    }
    for (ALuint s : sources) alSourcei(s, AL_SOURCE_RELATIVE, AL_TRUE);
    sourcesMade = true;
  }

  ALuint pickSource() {
    int oldest = 0;
    for (int i = 0; i < kSystemSoundSources; ++i) {
      ALint state = AL_STOPPED;
      alGetSourcei(sources[i], AL_SOURCE_STATE, &state);
      if (state != AL_PLAYING) return sources[i];
      if (started[i] < started[oldest]) oldest = i;
    }
    return sources[oldest];
  }

  void markStarted(ALuint source) {
    for (int i = 0; i < kSystemSoundSources; ++i)
      if (sources[i] == source) started[i] = ++playSerial;
  }

  // Every pool source holding the buffer.
  template <class F>
  void forSourcesOf(ALuint buffer, F f) {
    if (!sourcesMade) return;
    for (ALuint s : sources) {
      ALint current = 0;
      alGetSourcei(s, AL_BUFFER, &current);
      if (static_cast<ALuint>(current) == buffer) f(s);
    }
  }

  void detach(ALuint buffer) {
    if (!sourcesMade) return;
    for (ALuint s : sources) {
      ALint current = 0;
      alGetSourcei(s, AL_BUFFER, &current);
      if (static_cast<ALuint>(current) == buffer) {
        alSourceStop(s);
        alSourcei(s, AL_BUFFER, 0);
      }
    }
  }

  void shutDownIfUnused() {
    if (!sounds.empty() || !holdsOutput) return;
    if (sourcesMade) {
      for (ALuint s : sources) alSourceStop(s);
      alDeleteSources(kSystemSoundSources, sources.data());
      sources.fill(0);
      sourcesMade = false;
    }
    releaseOutput();
    holdsOutput = false;
  }
};

Service& service() {
  static Service s;
  return s;
}

}  // namespace

OSStatus AudioServicesCreateSystemSoundID(const FileURL& url, SystemSoundID* outID) {
  if (!outID) return kParamErr;
  DecodedSound sound;
  OSStatus err = decodeSoundFile(url.path, &sound);
  if (err != noErr) return err;
  ++audioCounters().systemSoundsDecoded;
  Service& s = service();
  if (!s.holdsOutput) s.holdsOutput = acquireOutput();
  ALuint buffer = 0;
  if (s.holdsOutput) {
    alGetError();
    alGenBuffers(1, &buffer);
    if (alGetError() == AL_NO_ERROR) {
      const ALenum format = sound.channels == 1 ? AL_FORMAT_MONO16 : AL_FORMAT_STEREO16;
      alBufferData(buffer, format, sound.samples.data(),
                   static_cast<ALsizei>(sound.samples.size() * sizeof(std::int16_t)),
                   static_cast<ALsizei>(sound.sampleRate));
      if (alGetError() != AL_NO_ERROR) {
        alDeleteBuffers(1, &buffer);
        buffer = 0;
      }
    } else {
      buffer = 0;
    }
  }
  *outID = s.nextID++;
  const double seconds = sound.sampleRate > 0 ? static_cast<double>(sound.frames) / sound.sampleRate : 0.0;
  s.sounds[*outID] = Sound{buffer, 1.0f, seconds};
  return noErr;
}

void AudioServicesPlaySystemSound(SystemSoundID id) {
  if (id == kSystemSoundID_Vibrate) return;  // no vibration motor on a desktop
  Service& s = service();
  auto it = s.sounds.find(id);
  if (it == s.sounds.end() || it->second.buffer == 0) return;
  s.makeSources();
  if (!s.sourcesMade) return;
  ALuint source = s.pickSource();
  alSourceStop(source);
  alSourcei(source, AL_BUFFER, static_cast<ALint>(it->second.buffer));
  alSourcef(source, AL_GAIN, it->second.gain);
  alSourcePlay(source);
  s.markStarted(source);
  ++audioCounters().systemSoundsPlayed;
}

OSStatus AudioServicesDisposeSystemSoundID(SystemSoundID id) {
  Service& s = service();
  auto it = s.sounds.find(id);
  if (it == s.sounds.end()) return kAudioServicesSystemSoundUnspecifiedError;
  if (it->second.buffer != 0) {
    s.detach(it->second.buffer);
    alDeleteBuffers(1, &it->second.buffer);
  }
  s.sounds.erase(it);
  s.shutDownIfUnused();
  return noErr;
}

void AudioServicesSetSystemSoundGain(SystemSoundID id, float gain) {
  Service& s = service();
  auto it = s.sounds.find(id);
  if (it == s.sounds.end()) return;
  it->second.gain = gain < 0.0f ? 0.0f : gain;
  if (it->second.buffer != 0)
    s.forSourcesOf(it->second.buffer, [g = it->second.gain](ALuint source) { alSourcef(source, AL_GAIN, g); });
}

double AudioServicesSystemSoundDuration(SystemSoundID id) {
  Service& s = service();
  auto it = s.sounds.find(id);
  return it == s.sounds.end() ? 0.0 : it->second.seconds;
}

}  // namespace peckish::audio
