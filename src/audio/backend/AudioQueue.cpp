#include "audio/backend/AudioQueue.h"

#include <AL/al.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <deque>
#include <memory>
#include <set>
#include <vector>

#include "audio/backend/Output.h"
#include "platform/RunLoop.h"

namespace peckish::audio {
namespace {

constexpr int kChunks = 4;                 // OpenAL buffers kept on a queue's source
// A chunk holds about 0.19 s whatever the rate (4096 frames at 22050 Hz, 8192 at 44100 Hz), so the
// source has the same time in hand before a late run-loop turn leaves it dry.
constexpr std::uint32_t kChunkFrames = 4096;
constexpr double kChunkRate = 22050.0;

std::uint32_t chunkFrames(const AudioStreamBasicDescription& format) {
  const double scale = std::max(1.0, std::ceil(format.mSampleRate / kChunkRate));
  return kChunkFrames * static_cast<std::uint32_t>(scale);
}
constexpr double kServiceInterval = 0.01;  // seconds between services on the run loop
constexpr int kMaxDeliveriesPerService = 64;

struct OwnedBuffer {
  AudioQueueBuffer header;
  std::unique_ptr<std::uint8_t[]> data;
};

struct Pending {
  AudioQueueBufferRef buffer;
  std::uint32_t offset;
};

struct Listener {
  AudioQueuePropertyListenerProc proc;
  void* userData;
};

bool gSilenced = false;
AudioQueueEnqueueObserver gObserver;

}  // namespace

struct OpaqueAudioQueue {
  AudioStreamBasicDescription format{};
  AudioQueueOutputCallback callback = nullptr;
  void* userData = nullptr;
  platform::RunLoop* runLoop = nullptr;
  platform::RunLoop::TimerId timer = 0;
  ALuint source = 0;
  std::array<ALuint, kChunks> chunks{};
  std::vector<ALuint> freeChunks;
  std::vector<std::unique_ptr<OwnedBuffer>> buffers;
  std::deque<Pending> pending;                // enqueued, audio not yet handed to the source in full
  std::deque<AudioQueueBufferRef> completed;  // waiting for the output callback
  std::vector<Listener> listeners;
  std::vector<std::uint8_t> cookie;
  std::vector<std::uint8_t> layout;
  float volume = 1.0f;
  bool running = false;
  bool paused = false;  // running, but held where it is
  bool stopPending = false;
  bool disposed = false;
  int depth = 0;  // nesting of service / callback / listener calls on this queue

  void tick() { AudioQueueService(this); }
};

namespace {

std::set<OpaqueAudioQueue*>& liveQueues() {
  static std::set<OpaqueAudioQueue*> queues;
  return queues;
}

bool valid(AudioQueueRef q) { return q && liveQueues().count(q) && !q->disposed; }

OwnedBuffer* owned(AudioQueueRef q, AudioQueueBufferRef b) {
  for (auto& o : q->buffers)
    if (&o->header == b) return o.get();
  return nullptr;
}

bool isPending(AudioQueueRef q, AudioQueueBufferRef b) {
  return std::any_of(q->pending.begin(), q->pending.end(), [b](const Pending& p) { return p.buffer == b; });
}

void applyGain(AudioQueueRef q) {
  float gain = gSilenced ? 0.0f : std::max(0.0f, q->volume);
  alSourcef(q->source, AL_GAIN, gain);
}

ALint sourceInt(ALuint source, ALenum what) {
  ALint v = 0;
  alGetSourcei(source, what, &v);
  return v;
}

void reclaimChunks(AudioQueueRef q) {
  ALint processed = sourceInt(q->source, AL_BUFFERS_PROCESSED);
  while (processed-- > 0) {
    ALuint chunk = 0;
    alSourceUnqueueBuffers(q->source, 1, &chunk);
    q->freeChunks.push_back(chunk);
  }
}

void unqueueAllChunks(AudioQueueRef q) {
  alSourceStop(q->source);
  alSourceRewind(q->source);
  alSourcei(q->source, AL_BUFFER, 0);  // detaches every queued buffer of a stopped source
  q->freeChunks.assign(q->chunks.begin(), q->chunks.end());
}

// Copies queued audio into free chunks, completing the buffers handed over in full.
void fill(AudioQueueRef q) {
  reclaimChunks(q);
  const std::uint32_t frameBytes = q->format.mBytesPerFrame;
  const ALenum alFormat = q->format.mChannelsPerFrame == 1 ? AL_FORMAT_MONO16 : AL_FORMAT_STEREO16;
  while (!q->pending.empty()) {
    Pending& p = q->pending.front();
    const std::uint32_t size = std::min(p.buffer->mAudioDataByteSize, p.buffer->mAudioDataBytesCapacity);
    std::uint32_t left = p.offset < size ? size - p.offset : 0;
    left -= left % frameBytes;
    if (left > 0) {
      if (q->freeChunks.empty()) break;
      const std::uint32_t n = std::min(left, chunkFrames(q->format) * frameBytes);
      ALuint chunk = q->freeChunks.back();
      q->freeChunks.pop_back();
      alBufferData(chunk, alFormat, static_cast<std::uint8_t*>(p.buffer->mAudioData) + p.offset,
                   static_cast<ALsizei>(n), static_cast<ALsizei>(q->format.mSampleRate));
      alSourceQueueBuffers(q->source, 1, &chunk);
      p.offset += n;
      left -= n;
    }
    if (left == 0) {
      q->completed.push_back(p.buffer);
      q->pending.pop_front();
    }
  }
}

void notifyRunning(AudioQueueRef q) {
  ++q->depth;
  const auto listeners = q->listeners;
  for (const auto& l : listeners) {
    if (q->disposed) break;
    l.proc(l.userData, q, kAudioQueueProperty_IsRunning);
  }
  --q->depth;
}

void destroy(AudioQueueRef q) {
  liveQueues().erase(q);
  alSourceStop(q->source);
  alSourcei(q->source, AL_BUFFER, 0);
  alDeleteSources(1, &q->source);
  alDeleteBuffers(kChunks, q->chunks.data());
  releaseOutput();
  delete q;
}

void finishIfDisposed(AudioQueueRef q) {
  if (q->disposed && q->depth == 0) destroy(q);
}

}  // namespace

OSStatus AudioQueueNewOutput(const AudioStreamBasicDescription* format, AudioQueueOutputCallback callback,
                             void* userData, platform::RunLoop* runLoop, RunLoopMode /*mode*/,
                             std::uint32_t flags, AudioQueueRef* outQueue) {
  if (!outQueue) return kParamErr;
  *outQueue = nullptr;
  if (!format || !callback || flags != 0) return kParamErr;
  const auto& f = *format;
  const std::uint32_t badFlags = kLinearPCMFormatFlagIsFloat | kLinearPCMFormatFlagIsBigEndian |
                                 kLinearPCMFormatFlagIsNonInterleaved;
  if (f.mFormatID != kAudioFormatLinearPCM || f.mBitsPerChannel != 16 || f.mChannelsPerFrame < 1 ||
      f.mChannelsPerFrame > 2 || f.mBytesPerFrame != 2 * f.mChannelsPerFrame || f.mFramesPerPacket != 1 ||
      (f.mFormatFlags & badFlags) != 0 || !(f.mSampleRate >= 1.0 && f.mSampleRate <= 768000.0))
    return kAudioFormatUnsupportedDataFormatError;
  if (!acquireOutput()) return kAudioQueueErr_InvalidDevice;
  auto* q = new OpaqueAudioQueue;
  alGetError();
  alGenSources(1, &q->source);
  alGenBuffers(kChunks, q->chunks.data());
  if (alGetError() != AL_NO_ERROR) {
    if (q->source) alDeleteSources(1, &q->source);
    alDeleteBuffers(kChunks, q->chunks.data());
    delete q;
    releaseOutput();
    return kAudioQueueErr_InvalidDevice;
  }
  alSourcei(q->source, AL_SOURCE_RELATIVE, AL_TRUE);
  q->freeChunks.assign(q->chunks.begin(), q->chunks.end());
  q->format = f;
  q->callback = callback;
  q->userData = userData;
  q->runLoop = runLoop ? runLoop : &platform::RunLoop::main();
  q->timer = q->runLoop->addTimer(kServiceInterval, true, Callback<void()>(q, &OpaqueAudioQueue::tick));
  liveQueues().insert(q);
  applyGain(q);
  *outQueue = q;
  return noErr;
}

OSStatus AudioQueueAllocateBuffer(AudioQueueRef q, std::uint32_t byteSize, AudioQueueBufferRef* outBuffer) {
  if (!outBuffer) return kParamErr;
  *outBuffer = nullptr;
  if (!valid(q)) return kAudioQueueErr_InvalidRunState;
  if (byteSize == 0) return kAudioQueueErr_InvalidParameter;
  auto o = std::make_unique<OwnedBuffer>();
  o->data.reset(new (std::nothrow) std::uint8_t[byteSize]);
  if (!o->data) return kAudioQueueErr_InvalidParameter;
  std::memset(o->data.get(), 0, byteSize);
  o->header.mAudioDataBytesCapacity = byteSize;
  o->header.mAudioData = o->data.get();
  *outBuffer = &o->header;
  q->buffers.push_back(std::move(o));
  return noErr;
}

OSStatus AudioQueueFreeBuffer(AudioQueueRef q, AudioQueueBufferRef b) {
  if (!valid(q)) return kAudioQueueErr_InvalidRunState;
  if (!owned(q, b)) return kAudioQueueErr_InvalidBuffer;
  if (isPending(q, b)) return kAudioQueueErr_BufferInQueue;
  q->completed.erase(std::remove(q->completed.begin(), q->completed.end(), b), q->completed.end());
  q->buffers.erase(std::remove_if(q->buffers.begin(), q->buffers.end(),
                                  [b](const std::unique_ptr<OwnedBuffer>& o) { return &o->header == b; }),
                   q->buffers.end());
  return noErr;
}

OSStatus AudioQueueEnqueueBuffer(AudioQueueRef q, AudioQueueBufferRef b, std::uint32_t /*numPacketDescs*/,
                                 const AudioStreamPacketDescription* /*packetDescs*/) {
  if (!valid(q)) return kAudioQueueErr_InvalidRunState;
  if (!owned(q, b)) return kAudioQueueErr_InvalidBuffer;
  if (isPending(q, b)) return kAudioQueueErr_BufferInQueue;
  if (q->stopPending) return kAudioQueueErr_InvalidRunState;
  if (b->mAudioDataByteSize > b->mAudioDataBytesCapacity) return kAudioQueueErr_InvalidParameter;
  q->completed.erase(std::remove(q->completed.begin(), q->completed.end(), b), q->completed.end());
  q->pending.push_back(Pending{b, 0});
  ++audioCounters().queueEnqueues;
  if (gObserver) gObserver(q, b);
  return noErr;
}

OSStatus AudioQueuePrime(AudioQueueRef q, std::uint32_t /*framesToPrepare*/, std::uint32_t* outFramesPrepared) {
  if (!valid(q)) return kAudioQueueErr_InvalidRunState;
  fill(q);
  if (outFramesPrepared) {
    ALint queued = sourceInt(q->source, AL_BUFFERS_QUEUED);
    *outFramesPrepared = static_cast<std::uint32_t>(queued) * chunkFrames(q->format);
  }
  return noErr;
}

OSStatus AudioQueueStart(AudioQueueRef q, const void* /*startTime*/) {
  if (!valid(q)) return kAudioQueueErr_InvalidRunState;
  if (q->paused) {
    q->paused = false;
    if (sourceInt(q->source, AL_SOURCE_STATE) == AL_PAUSED) alSourcePlay(q->source);
  }
  if (q->running && !q->stopPending) return noErr;
  const bool changed = !q->running;
  q->stopPending = false;
  q->running = true;
  fill(q);
  if (sourceInt(q->source, AL_BUFFERS_QUEUED) > 0) alSourcePlay(q->source);
  if (changed) notifyRunning(q);
  finishIfDisposed(q);
  return noErr;
}

OSStatus AudioQueuePause(AudioQueueRef q) {
  if (!valid(q)) return kAudioQueueErr_InvalidRunState;
  if (!q->running || q->paused) return noErr;
  q->paused = true;
  alSourcePause(q->source);
  return noErr;
}

OSStatus AudioQueueStop(AudioQueueRef q, bool immediate) {
  if (!valid(q)) return kAudioQueueErr_InvalidRunState;
  q->paused = false;
  if (!q->running) {
    q->pending.clear();
    q->completed.clear();
    unqueueAllChunks(q);
    return noErr;
  }
  if (!immediate) {
    q->stopPending = true;  // the run-loop service finishes the stop once the source runs dry
    return noErr;
  }
  q->pending.clear();
  q->completed.clear();
  unqueueAllChunks(q);
  q->running = false;
  q->stopPending = false;
  notifyRunning(q);
  finishIfDisposed(q);
  return noErr;
}

OSStatus AudioQueueDispose(AudioQueueRef q, bool /*immediate*/) {
  if (!valid(q)) return kAudioQueueErr_InvalidRunState;
  q->disposed = true;
  q->runLoop->invalidateTimer(q->timer);
  alSourceStop(q->source);
  q->pending.clear();
  q->completed.clear();
  q->running = false;
  finishIfDisposed(q);
  return noErr;
}

OSStatus AudioQueueGetProperty(AudioQueueRef q, AudioQueuePropertyID id, void* data, std::uint32_t* ioSize) {
  if (!valid(q)) return kAudioQueueErr_InvalidRunState;
  if (!ioSize) return kParamErr;
  const std::vector<std::uint8_t>* blob = nullptr;
  switch (id) {
    case kAudioQueueProperty_IsRunning: {
      if (*ioSize < 4 || !data) return kAudioQueueErr_InvalidPropertySize;
      std::uint32_t running = q->running ? 1 : 0;
      std::memcpy(data, &running, 4);
      *ioSize = 4;
      return noErr;
    }
    case kAudioQueueProperty_MagicCookie: blob = &q->cookie; break;
    case kAudioQueueProperty_ChannelLayout: blob = &q->layout; break;
    default: return kAudioQueueErr_InvalidProperty;
  }
  if (*ioSize < blob->size() || (!data && !blob->empty())) return kAudioQueueErr_InvalidPropertySize;
  if (!blob->empty()) std::memcpy(data, blob->data(), blob->size());
  *ioSize = static_cast<std::uint32_t>(blob->size());
  return noErr;
}

OSStatus AudioQueueSetProperty(AudioQueueRef q, AudioQueuePropertyID id, const void* data, std::uint32_t size) {
  if (!valid(q)) return kAudioQueueErr_InvalidRunState;
  if (size > 0 && !data) return kParamErr;
  std::vector<std::uint8_t>* blob = nullptr;
  switch (id) {
    case kAudioQueueProperty_MagicCookie: blob = &q->cookie; break;
    case kAudioQueueProperty_ChannelLayout: blob = &q->layout; break;
    default: return kAudioQueueErr_InvalidProperty;  // the running state is read-only
  }
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  blob->assign(bytes, bytes + size);
  return noErr;
}

OSStatus AudioQueueAddPropertyListener(AudioQueueRef q, AudioQueuePropertyID id,
                                       AudioQueuePropertyListenerProc proc, void* userData) {
  if (!valid(q)) return kAudioQueueErr_InvalidRunState;
  if (!proc) return kParamErr;
  if (id != kAudioQueueProperty_IsRunning) return kAudioQueueErr_InvalidProperty;
  q->listeners.push_back(Listener{proc, userData});
  return noErr;
}

OSStatus AudioQueueSetParameter(AudioQueueRef q, AudioQueueParameterID id, float value) {
  if (!valid(q)) return kAudioQueueErr_InvalidRunState;
  if (id != kAudioQueueParam_Volume) return kAudioQueueErr_InvalidParameter;
  if (!(value >= 0.0f)) return kAudioQueueErr_InvalidParameter;
  q->volume = value;
  applyGain(q);
  return noErr;
}

OSStatus AudioQueueGetParameter(AudioQueueRef q, AudioQueueParameterID id, float* value) {
  if (!valid(q)) return kAudioQueueErr_InvalidRunState;
  if (id != kAudioQueueParam_Volume || !value) return kAudioQueueErr_InvalidParameter;
  *value = q->volume;
  return noErr;
}

void AudioQueueService(AudioQueueRef q) {
  if (!valid(q) || !q->running || q->paused) return;
  ++q->depth;
  fill(q);
  for (int delivered = 0; delivered < kMaxDeliveriesPerService && !q->completed.empty() && !q->disposed;) {
    AudioQueueBufferRef b = q->completed.front();
    q->completed.pop_front();
    if (q->stopPending || !q->running) continue;  // nothing comes back once a stop was asked for
    q->callback(q->userData, q, b);
    ++delivered;
    if (!q->disposed) fill(q);
  }
  if (!q->disposed && q->running) {
    reclaimChunks(q);
    const ALint queued = sourceInt(q->source, AL_BUFFERS_QUEUED);
    const bool playing = sourceInt(q->source, AL_SOURCE_STATE) == AL_PLAYING;
    if (!playing && queued > 0) {
      alSourcePlay(q->source);  // started, or ran dry and has audio again
    } else if (q->stopPending && q->pending.empty() && queued == 0) {
      unqueueAllChunks(q);
      q->running = false;
      q->stopPending = false;
      notifyRunning(q);
    }
  }
  --q->depth;
  finishIfDisposed(q);
}

void setOutputQueuesSilenced(bool silenced) {
  gSilenced = silenced;
  for (auto* q : liveQueues())
    if (!q->disposed) applyGain(q);
}

bool outputQueuesSilenced() { return gSilenced; }

void setAudioQueueEnqueueObserver(AudioQueueEnqueueObserver observer) { gObserver = std::move(observer); }

}  // namespace peckish::audio
