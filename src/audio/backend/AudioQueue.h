#pragma once
// The output-queue stand-in, on an OpenAL streaming source. The owner enqueues buffers of 16-bit
// linear PCM; the queue copies their audio, in order, into a few short OpenAL buffers kept queued on
// its source. A buffer whose audio has been handed to the source in full is completed: it goes back
// to the owner through the output callback, delivered on the run loop given at creation. Handing a
// buffer back as soon as it has been copied (not when it has been heard) keeps the source fed while
// the owner refills, so a single buffer re-queued from its callback loops without a gap.
//
// Stopping immediately silences the source and drops whatever is queued, without callbacks.
// Stopping asynchronously lets the queued audio play out; no more buffers come back after the
// request, and the queue stops once the source runs dry. The is-running listener hears every change
// of the running state: at once for start and immediate stop, on the run loop for the end of an
// asynchronous stop.
#include <cstdint>
#include <functional>

#include "audio/backend/CoreTypes.h"

namespace peckish::platform {
class RunLoop;
}

namespace peckish::audio {

struct OpaqueAudioQueue;
using AudioQueueRef = OpaqueAudioQueue*;
using AudioQueuePropertyID = std::uint32_t;
using AudioQueueParameterID = std::uint32_t;

struct AudioQueueBuffer {
  std::uint32_t mAudioDataBytesCapacity = 0;
  void* mAudioData = nullptr;
  std::uint32_t mAudioDataByteSize = 0;
  void* mUserData = nullptr;
  std::uint32_t mPacketDescriptionCapacity = 0;
  AudioStreamPacketDescription* mPacketDescriptions = nullptr;
  std::uint32_t mPacketDescriptionCount = 0;
};
using AudioQueueBufferRef = AudioQueueBuffer*;

using AudioQueueOutputCallback = void (*)(void* userData, AudioQueueRef queue, AudioQueueBufferRef buffer);
using AudioQueuePropertyListenerProc = void (*)(void* userData, AudioQueueRef queue, AudioQueuePropertyID id);

constexpr AudioQueuePropertyID kAudioQueueProperty_IsRunning = fourCC("aqrn");
constexpr AudioQueuePropertyID kAudioQueueProperty_MagicCookie = fourCC("aqmc");
constexpr AudioQueuePropertyID kAudioQueueProperty_ChannelLayout = fourCC("aqcl");
constexpr AudioQueueParameterID kAudioQueueParam_Volume = 1;

// The run-loop mode the callbacks run in; the main run loop has only this one.
enum class RunLoopMode { Common };

// The format must be 16-bit signed packed linear PCM with one or two channels.
OSStatus AudioQueueNewOutput(const AudioStreamBasicDescription* format, AudioQueueOutputCallback callback,
                             void* userData, platform::RunLoop* runLoop, RunLoopMode mode, std::uint32_t flags,
                             AudioQueueRef* outQueue);
OSStatus AudioQueueAllocateBuffer(AudioQueueRef queue, std::uint32_t byteSize, AudioQueueBufferRef* outBuffer);
// A buffer waiting in the queue cannot be freed.
OSStatus AudioQueueFreeBuffer(AudioQueueRef queue, AudioQueueBufferRef buffer);
OSStatus AudioQueueEnqueueBuffer(AudioQueueRef queue, AudioQueueBufferRef buffer, std::uint32_t numPacketDescs,
                                 const AudioStreamPacketDescription* packetDescs);
// Hands queued audio to the source ahead of a start.
OSStatus AudioQueuePrime(AudioQueueRef queue, std::uint32_t framesToPrepare, std::uint32_t* outFramesPrepared);
OSStatus AudioQueueStart(AudioQueueRef queue, const void* startTime);
// Holds a running queue where it is: the source falls silent, nothing moves and no buffer comes
// back; the queue still counts as running. AudioQueueStart goes on from the same place; a stop
// ends the pause. Pausing a queue that is not running does nothing.
OSStatus AudioQueuePause(AudioQueueRef queue);
OSStatus AudioQueueStop(AudioQueueRef queue, bool immediate);
// Frees the queue and its buffers. Safe from inside the queue's own callbacks: the queue then
// goes quiet at once and is freed when the callback returns.
OSStatus AudioQueueDispose(AudioQueueRef queue, bool immediate);
OSStatus AudioQueueGetProperty(AudioQueueRef queue, AudioQueuePropertyID id, void* data, std::uint32_t* ioSize);
OSStatus AudioQueueSetProperty(AudioQueueRef queue, AudioQueuePropertyID id, const void* data, std::uint32_t size);
OSStatus AudioQueueAddPropertyListener(AudioQueueRef queue, AudioQueuePropertyID id,
                                       AudioQueuePropertyListenerProc proc, void* userData);
OSStatus AudioQueueSetParameter(AudioQueueRef queue, AudioQueueParameterID id, float value);
OSStatus AudioQueueGetParameter(AudioQueueRef queue, AudioQueueParameterID id, float* value);

// Moves finished audio along and delivers completed buffers and the end of an asynchronous stop.
// The queue's own run-loop timer calls this every few milliseconds; tests may call it directly.
void AudioQueueService(AudioQueueRef queue);

// Silences every output queue (the volume parameters are kept) or lets them be heard again.
void setOutputQueuesSilenced(bool silenced);
bool outputQueuesSilenced();

// Diagnostics: called for every accepted enqueue.
using AudioQueueEnqueueObserver = std::function<void(AudioQueueRef, AudioQueueBufferRef)>;
void setAudioQueueEnqueueObserver(AudioQueueEnqueueObserver observer);

}  // namespace peckish::audio
