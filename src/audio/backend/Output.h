#pragma once
// The process's one OpenAL output: the default device and one context on it, shared by the
// system-sound service, the output queues and the sound engine's device object. Each user holds a
// counted reference; the context is destroyed and the device closed when the last one lets go.
#include <AL/alc.h>

#include <cstdint>

namespace peckish::audio {

// Opens the default device on first use (alcOpenDevice with no name), else hands out the open one.
// Null when no device can be opened. The first failure tells the player once ("peckish: no audio
// output device; playing without sound"); after a failure the device is not tried again for 30 s,
// so sounds made meanwhile simply stay silent.
ALCdevice* openSharedDevice();
void closeSharedDevice(ALCdevice* device);
// The shared context on the shared device, created on first use with no attributes. Null (and an
// ALC error on the device) when device is not the shared device or creation failed.
ALCcontext* createSharedContext(ALCdevice* device);
void destroySharedContext(ALCcontext* context);

// Device and context together, made current: what the services need before any al* call.
// acquireOutput is false (and nothing is held) when there is no device.
bool acquireOutput();
void releaseOutput();
bool outputAvailable();

// Counters kept by the stand-ins, read by diagnostics and tests.
struct AudioCounters {
  std::uint64_t systemSoundsDecoded = 0;  // files decoded by the system-sound service
  std::uint64_t systemSoundsPlayed = 0;   // play requests that reached a source
  std::uint64_t fileOpens = 0;            // audio files opened
  std::uint64_t packetReads = 0;          // packet reads from audio files
  std::uint64_t queueEnqueues = 0;        // buffers enqueued on output queues
  std::uint64_t deviceOpenAttempts = 0;   // calls of alcOpenDevice
};
AudioCounters& audioCounters();

}  // namespace peckish::audio
