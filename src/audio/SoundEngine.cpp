#include "audio/SoundEngine.h"

#include <AL/al.h>

#include <cstdio>

#include "audio/BackgroundTrackMgr.h"
#include "audio/OpenALObject.h"
#include "audio/backend/Output.h"

namespace peckish {

float gMasterVolumeGain = 1.0f;

namespace {

OpenALObject* sOpenALObject = nullptr;
BackgroundTrackMgr* sBackgroundTrackMgr = nullptr;
float sMusicVolume = 1.0f;

BackgroundTrackMgr* newTrackMgr() {
  auto* mgr = new BackgroundTrackMgr();
  mgr->volume = sMusicVolume;
  return mgr;
}

constexpr SoundEngineResult kNoPlayer = 1;
constexpr SoundEngineResult kNoDevice = 5;

void printALError(const char* message, int error) {
  std::printf("%s: %x\n", message, static_cast<unsigned>(error));
  std::fflush(stdout);
}

using MixerOutputRateProc = ALvoid (*)(const ALdouble rate);

// The mixer-rate extension of one OpenAL implementation; looked up once per process. OpenAL Soft
// does not have it, so the rate is then left as the device chose it.
MixerOutputRateProc mixerOutputRateProc(ALCdevice* device) {
  static bool looked = false;
  static MixerOutputRateProc proc = nullptr;
  if (!looked) {
    looked = true;
    proc = reinterpret_cast<MixerOutputRateProc>(alcGetProcAddress(device, "alcMacOSXMixerOutputRate"));
    alcGetError(device);  // a failed lookup must not read as a later step's failure
  }
  return proc;
}

}  // namespace

SoundEngineEffect::SoundEngineEffect() = default;

SoundEngineEffect::~SoundEngineEffect() {
  if (source != 0) {
    ALuint s = source;
    alDeleteSources(1, &s);
  }
}

OpenALObject::OpenALObject(float rate) : mixerOutputRate(rate) {}

OpenALObject::~OpenALObject() { Teardown(); }

std::int32_t OpenALObject::Initialize() {
  // No device is not an error to print: the engine simply runs without sound (the output layer
  // tells the player once).
  device = audio::openSharedDevice();
  if (!device) {
    alcGetError(nullptr);  // the failed open's code must not read as a later step's failure
    return kNoDevice;
  }
  ALCenum error = alcGetError(device);
  if (error != ALC_NO_ERROR) {
    printALError("Error opening output device", error);
    audio::closeSharedDevice(device);
    device = nullptr;
    return error;
  }

  if (mixerOutputRate != 0) {
    if (MixerOutputRateProc proc = mixerOutputRateProc(device)) proc(mixerOutputRate);
  }

  context = audio::createSharedContext(device);
  error = alcGetError(device);
  if (error == ALC_NO_ERROR && !context) error = ALC_INVALID_CONTEXT;
  if (error != ALC_NO_ERROR) {
    printALError("Error creating OpenAL context", error);
    if (context) audio::destroySharedContext(context);
    context = nullptr;
    return error;
  }

  alcMakeContextCurrent(context);
  error = alcGetError(device);
  if (error != ALC_NO_ERROR) {
    printALError("Error setting current OpenAL context", error);
    return error;
  }
  return 0;
}

void OpenALObject::Teardown() {
  effects.clear();
  if (context) audio::destroySharedContext(context);
  context = nullptr;
  if (device) audio::closeSharedDevice(device);
  device = nullptr;
}

// Tears down and frees the engine's two objects, if any.
static void releaseEngineObjects() {
  if (sOpenALObject) {
    sOpenALObject->Teardown();
    delete sOpenALObject;
    sOpenALObject = nullptr;
  }
  if (sBackgroundTrackMgr) {
    sBackgroundTrackMgr->Teardown();
    delete sBackgroundTrackMgr;
    sBackgroundTrackMgr = nullptr;
  }
}

SoundEngineResult SoundEngine_Initialize(float mixerOutputRate) {
  releaseEngineObjects();
  sOpenALObject = new OpenALObject(mixerOutputRate);
  sBackgroundTrackMgr = newTrackMgr();
  return sOpenALObject->Initialize();
}

SoundEngineResult SoundEngine_Teardown() {
  releaseEngineObjects();
  return 0;
}

SoundEngineResult SoundEngine_LoadBackgroundMusicTrack(const char* path, bool addToQueue, bool loadAtOnce) {
  if (!sBackgroundTrackMgr) sBackgroundTrackMgr = newTrackMgr();
  return sBackgroundTrackMgr->LoadTrack(path, addToQueue, loadAtOnce);
}

SoundEngineResult SoundEngine_UnloadBackgroundMusicTrack() {
  if (sBackgroundTrackMgr) {
    sBackgroundTrackMgr->Teardown();
    delete sBackgroundTrackMgr;
    sBackgroundTrackMgr = nullptr;
  }
  return 0;
}

SoundEngineResult SoundEngine_StartBackgroundMusic() {
  if (!sBackgroundTrackMgr) return kNoPlayer;
  SoundEngineResult result = audio::AudioQueuePrime(sBackgroundTrackMgr->queue, 1, nullptr);
  if (result != 0) {
    std::printf("Error priming queue");
    std::fflush(stdout);
    return result;
  }
  return audio::AudioQueueStart(sBackgroundTrackMgr->queue, nullptr);
}

SoundEngineResult SoundEngine_StopBackgroundMusic(bool stopAtEnd) {
  if (!sBackgroundTrackMgr) return kNoPlayer;
  if (stopAtEnd) {
    sBackgroundTrackMgr->stopAtEnd = true;
    return 0;
  }
  return audio::AudioQueueStop(sBackgroundTrackMgr->queue, true);
}

SoundEngineResult SoundEngine_PauseBackgroundMusic() {
  if (!sBackgroundTrackMgr) return kNoPlayer;
  return audio::AudioQueuePause(sBackgroundTrackMgr->queue);
}

SoundEngineResult SoundEngine_ResumeBackgroundMusic() {
  if (!sBackgroundTrackMgr) return kNoPlayer;
  return audio::AudioQueueStart(sBackgroundTrackMgr->queue, nullptr);
}

SoundEngineResult SoundEngine_SetBackgroundMusicVolume(float gain) {
  sMusicVolume = gain < 0.0f ? 0.0f : (gain > 1.0f ? 1.0f : gain);
  if (!sBackgroundTrackMgr) return 0;
  sBackgroundTrackMgr->volume = sMusicVolume;
  if (!sBackgroundTrackMgr->queue) return 0;
  return audio::AudioQueueSetParameter(sBackgroundTrackMgr->queue, audio::kAudioQueueParam_Volume,
                                       sMusicVolume * gMasterVolumeGain);
}

float SoundEngine_BackgroundMusicVolume() { return sMusicVolume; }

OpenALObject* SoundEngine_OpenALObject() { return sOpenALObject; }
BackgroundTrackMgr* SoundEngine_BackgroundTrackMgr() { return sBackgroundTrackMgr; }

}  // namespace peckish
