#include "audio/BackgroundTrackMgr.h"

#include <algorithm>
#include <cstdio>
#include <limits>

#include "audio/SoundEngine.h"
#include "platform/RunLoop.h"

namespace peckish {

using namespace audio;

namespace {

void printResult(const char* message, OSStatus result) {
  std::printf("%s: %d\n", message, static_cast<int>(result));
  std::fflush(stdout);
}

// Copies a property the file may carry (its magic cookie, its channel layout) onto the queue. A
// file without it is no error; a failure to read it or to set it is printed with the caller's
// message and returned.
OSStatus copyFileProperty(AudioFileID file, AudioFilePropertyID fileProperty, AudioQueueRef queue,
                          AudioQueuePropertyID queueProperty, const char* readFailed, const char* setFailed) {
  std::uint32_t size = 0;
  OSStatus result = AudioFileGetPropertyInfo(file, fileProperty, &size, nullptr);
  if (result != noErr || size == 0) return noErr;
  std::vector<std::uint8_t> value(size);
  result = AudioFileGetProperty(file, fileProperty, &size, value.data());
  if (result != noErr) {
    printResult(readFailed, result);
    return result;
  }
  result = AudioQueueSetProperty(queue, queueProperty, value.data(), size);
  if (result != noErr) printResult(setFailed, result);
  return result;
}

constexpr std::uint32_t kMaxBufferSize = 0x10000;
constexpr std::uint32_t kMinBufferSize = 0x4000;

}  // namespace

BG_FileInfo::~BG_FileInfo() {
  if (audioFile) AudioFileClose(audioFile);
}

BackgroundTrackMgr::BackgroundTrackMgr() = default;

BackgroundTrackMgr::~BackgroundTrackMgr() { Teardown(); }

BG_FileInfo* BackgroundTrackMgr::CurrentFileInfo() const {
  return currentFileIndex < files.size() ? files[currentFileIndex].get() : nullptr;
}

void BackgroundTrackMgr::DisposeQueue() {
  if (queue) AudioQueueDispose(queue, true);
  queue = nullptr;
  std::fill(std::begin(buffers), std::end(buffers), nullptr);
  buffersToDispose.clear();
}

// A record that failed to load leaves the list again; if it was the only one, the queue made for
// it goes too, so nothing calls back for a record that no longer exists.
void BackgroundTrackMgr::RemoveRecord(BG_FileInfo* info) {
  auto it = std::find_if(files.begin(), files.end(), [info](const auto& f) { return f.get() == info; });
  if (it == files.end()) return;
  const auto index = static_cast<std::uint32_t>(it - files.begin());
  files.erase(it);
  if (files.empty()) {
    DisposeQueue();
    currentFileIndex = 0;
    currentPacket = 0;
  } else if (index < currentFileIndex) {
    --currentFileIndex;
  }
}

OSStatus BackgroundTrackMgr::LoadTrack(const char* path, bool addToQueue, bool loadWhole) {
  auto info = std::make_unique<BG_FileInfo>(path ? path : "");
  OSStatus result = LoadFileDataInfo(path, &info->audioFile, &info->dataFormat, &info->dataByteCount);
  if (result != noErr) {
    printResult("Error getting file data info", result);
    return result;
  }
  info->loadWhole = loadWhole;
  info->dataQueued = false;

  if (!addToQueue) {
    // The list is replaced; a queue still playing the old list would call back into records that
    // are gone.
    DisposeQueue();
    files.clear();
    currentFileIndex = 0;
    currentPacket = 0;
  }
  files.push_back(std::move(info));
  BG_FileInfo* record = files.back().get();

  if (files.size() == 1) {
    result = SetupQueue(record);
    if (result != noErr) {
      printResult("Error setting up queue", result);
      RemoveRecord(record);
      return result;
    }
    result = SetupBuffers(record);
    if (result != noErr) {
      printResult("Error setting up queue buffers", result);
      RemoveRecord(record);
      return result;
    }
  } else {
    result = AudioFileClose(record->audioFile);
    record->audioFile = nullptr;
    if (result != noErr) {
      printResult("Error closing file", result);
      RemoveRecord(record);
      return result;
    }
  }
  return noErr;
}

OSStatus BackgroundTrackMgr::SetupQueue(BG_FileInfo* info) {
  OSStatus result = AudioQueueNewOutput(&info->dataFormat, QueueCallback, this, &platform::RunLoop::main(),
                                        RunLoopMode::Common, 0, &queue);
  if (result != noErr) {
    printResult("Error creating queue", result);
    return result;
  }

  result = copyFileProperty(info->audioFile, kAudioFilePropertyMagicCookieData, queue, kAudioQueueProperty_MagicCookie,
                            "Error getting magic cookie", "Error setting magic cookie");
  if (result != noErr) return result;
  result = copyFileProperty(info->audioFile, kAudioFilePropertyChannelLayout, queue, kAudioQueueProperty_ChannelLayout,
                            "Error getting channel layout from file", "Error setting channel layout on queue");
  if (result != noErr) return result;

  result = AudioQueueAddPropertyListener(queue, kAudioQueueProperty_IsRunning, QueueStoppedProc, this);
  if (result != noErr) {
    printResult("Error adding isRunning property listener to queue", result);
    return result;
  }

  rebuildQueueWhenStopped = false;
  return AudioQueueSetParameter(queue, kAudioQueueParam_Volume, volume * gMasterVolumeGain);
}

OSStatus BackgroundTrackMgr::SetupBuffers(BG_FileInfo* info) {
  std::uint32_t maxPacketSize = 0;
  std::uint32_t size = sizeof maxPacketSize;
  OSStatus result =
      AudioFileGetProperty(info->audioFile, kAudioFilePropertyPacketSizeUpperBound, &size, &maxPacketSize);
  if (result != noErr) {
    printResult("Error getting packet upper bound size", result);
    return result;
  }

  const bool isFormatVBR = info->dataFormat.mBytesPerPacket == 0 || info->dataFormat.mFramesPerPacket == 0;
  CalculateBytesForTime(info->dataFormat, maxPacketSize, 0.5, &bufferByteSize, &packetsPerRead);

  if (info->dataByteCount < 3ull * bufferByteSize) info->loadWhole = true;

  int numBuffers = kNumberBuffers;
  if (info->loadWhole) {
    std::uint64_t packetCount = 0;
    size = sizeof packetCount;
    result = AudioFileGetProperty(info->audioFile, kAudioFilePropertyAudioDataPacketCount, &size, &packetCount);
    if (result != noErr) {
      printResult("Error getting packet count for file", result);
      return result;
    }
    packetsPerRead = static_cast<std::uint32_t>(packetCount);
    bufferByteSize = static_cast<std::uint32_t>(info->dataByteCount);
    numBuffers = 1;
  } else {
    packetsPerRead = maxPacketSize ? bufferByteSize / maxPacketSize : 0;
  }

  if (isFormatVBR)
    packetDescriptions.reset(new AudioStreamPacketDescription[packetsPerRead ? packetsPerRead : 1]);
  else
    packetDescriptions.reset();

  for (int i = 0; i < numBuffers; ++i) {
    result = AudioQueueAllocateBuffer(queue, bufferByteSize, &buffers[i]);
    if (result != noErr) {
      printResult("Error allocating buffer for queue", result);
      return result;
    }
    QueueCallback(this, queue, buffers[i]);
    if (info->loadWhole) info->dataQueued = true;
  }
  return noErr;
}

void BackgroundTrackMgr::QueueCallback(void* userData, AudioQueueRef q, AudioQueueBufferRef buffer) {
  auto* mgr = static_cast<BackgroundTrackMgr*>(userData);
  if (DisposeBuffer(q, mgr->buffersToDispose, buffer)) return;

  BG_FileInfo* cur = mgr->CurrentFileInfo();
  if (!cur) return;  // the list is empty: nothing to play
  std::uint32_t nPackets = 0;
  OSStatus result = noErr;

  if (cur->dataQueued && mgr->files.size() == 1 && !mgr->stopAtEnd) {
    // The buffer still holds the whole file: queue it again unchanged.
    nPackets = mgr->packetsPerRead;
  } else {
    // Each pass past the end of a file moves one record on; a list whose every file reads empty
    // gives up after one round instead of spinning.
    size_t boundaries = 0;
    for (;;) {
      nPackets = mgr->packetsPerRead;
      std::uint32_t numBytes = buffer->mAudioDataBytesCapacity;
      result = AudioFileReadPacketData(cur->audioFile, false, &numBytes, mgr->packetDescriptions.get(),
                                       mgr->currentPacket, &nPackets, buffer->mAudioData);
      if (result != noErr) {
        printResult("Error reading file data", result);
        return;
      }
      buffer->mAudioDataByteSize = numBytes;
      if (nPackets > 0) break;

      // End of the file.
      if (++boundaries > mgr->files.size() + 1) return;
      if (cur->loadWhole) cur->dataQueued = true;
      mgr->currentPacket = 0;
      std::uint32_t nextIndex = mgr->currentFileIndex + 1;
      if (nextIndex >= mgr->files.size()) {
        nextIndex = 0;
        if (mgr->stopAtEnd) {
          result = AudioQueueStop(q, false);
          if (result != noErr) printResult("Error stopping queue", result);
          return;
        }
      }

      BG_FileInfo* next = mgr->files[nextIndex].get();
      const std::uint32_t state = GetQueueStateForNextBuffer(cur, next);
      if (nextIndex != mgr->currentFileIndex) {
        result = AudioFileClose(cur->audioFile);
        cur->audioFile = nullptr;
        if (result != noErr) {
          printResult("Error closing file", result);
          return;
        }
        mgr->currentFileIndex = nextIndex;
        result = LoadFileDataInfo(next->filePath.c_str(), &next->audioFile, &next->dataFormat,
                                  &next->dataByteCount);
        if (result != noErr) {
          printResult("Error opening file", result);
          return;
        }
        cur = next;
      }

      if (state == kQueueState_NeedNewQueue) {
        mgr->rebuildQueueWhenStopped = true;
        result = AudioQueueStop(q, false);
        if (result != noErr) printResult("Error stopping queue", result);
        return;
      }
      if (state == kQueueState_NeedNewBuffers) {
        if (std::find(mgr->buffersToDispose.begin(), mgr->buffersToDispose.end(), buffer) ==
            mgr->buffersToDispose.end())
          mgr->buffersToDispose.push_back(buffer);
        if (mgr->SetupBuffers(cur) != noErr) return;
        continue;
      }
      if (state == kQueueState_ReuseWholeBuffer)
        buffer->mAudioDataByteSize = static_cast<std::uint32_t>(cur->dataByteCount);
      AttachNewCookie(q, cur);
    }
  }

  result = AudioQueueEnqueueBuffer(q, buffer, mgr->packetDescriptions ? nPackets : 0,
                                   mgr->packetDescriptions.get());
  if (result != noErr) {
    printResult("Error enqueuing new buffer", result);
    return;
  }
  if (cur->loadWhole) cur->dataQueued = true;
  mgr->currentPacket += nPackets;
}

void BackgroundTrackMgr::QueueStoppedProc(void* userData, AudioQueueRef q, std::uint32_t /*propertyID*/) {
  auto* mgr = static_cast<BackgroundTrackMgr*>(userData);
  std::uint32_t isRunning = 0;
  std::uint32_t size = sizeof isRunning;
  AudioQueueGetProperty(q, kAudioQueueProperty_IsRunning, &isRunning, &size);
  if (isRunning || !mgr->rebuildQueueWhenStopped) return;

  OSStatus result = AudioQueueDispose(q, true);
  if (result != noErr) {
    printResult("Error disposing queue", result);
    return;
  }
  if (mgr->queue == q) {
    mgr->queue = nullptr;
    std::fill(std::begin(mgr->buffers), std::end(mgr->buffers), nullptr);
  }
  mgr->buffersToDispose.clear();  // they went with the old queue

  BG_FileInfo* cur = mgr->CurrentFileInfo();
  if (!cur) return;
  result = mgr->SetupQueue(cur);
  if (result != noErr) {
    printResult("Error setting up new queue", result);
    return;
  }
  result = mgr->SetupBuffers(cur);
  if (result != noErr) {
    printResult("Error setting up new queue buffers", result);
    return;
  }
  result = AudioQueuePrime(mgr->queue, 1, nullptr);
  if (result != noErr) {
    printResult("Error priming queue", result);
    printResult("Error starting queue", result);
    return;
  }
  result = AudioQueueStart(mgr->queue, nullptr);
  if (result != noErr) printResult("Error starting queue", result);
}

std::uint32_t BackgroundTrackMgr::GetQueueStateForNextBuffer(BG_FileInfo* current, BG_FileInfo* next) {
  current->dataQueued = false;
  if (!FormatIsEqual(current->dataFormat, next->dataFormat)) return kQueueState_NeedNewQueue;
  if (current->loadWhole != next->loadWhole) return kQueueState_NeedNewBuffers;
  if (!current->loadWhole) return kQueueState_KeepStreaming;
  if (current->dataByteCount >= next->dataByteCount) return kQueueState_ReuseWholeBuffer;
  return kQueueState_NeedNewBuffers;
}

OSStatus BackgroundTrackMgr::AttachNewCookie(AudioQueueRef q, BG_FileInfo* info) {
  // A cookie that cannot be attached is printed and otherwise ignored: the file plays on.
  copyFileProperty(info->audioFile, kAudioFilePropertyMagicCookieData, q, kAudioQueueProperty_MagicCookie,
                   "Error getting cookie data", "Error setting cookie data for queue");
  return noErr;
}

bool BackgroundTrackMgr::DisposeBuffer(AudioQueueRef q, std::vector<AudioQueueBufferRef>& toDispose,
                                       AudioQueueBufferRef buffer) {
  auto it = std::find(toDispose.begin(), toDispose.end(), buffer);
  if (it == toDispose.end()) return false;
  if (AudioQueueFreeBuffer(q, buffer) == noErr) toDispose.erase(it);
  return true;
}

void BackgroundTrackMgr::Teardown() {
  DisposeQueue();
  for (auto& f : files) {
    if (f->audioFile) {
      AudioFileClose(f->audioFile);
      f->audioFile = nullptr;
    }
  }
  packetDescriptions.reset();
}

OSStatus OpenFile(const char* path, AudioFileID* outFile) {
  auto url = fileURLWithPath(path ? path : "");
  if (!url) return 3;
  OSStatus result = AudioFileOpenURL(*url, kAudioFileReadPermission, 0, outFile);
  if (result != noErr) printResult("Error opening file", result);
  return result;
}

OSStatus LoadFileDataInfo(const char* path, AudioFileID* outFile, AudioStreamBasicDescription* outFormat,
                          std::uint64_t* outDataSize) {
  OSStatus result = OpenFile(path, outFile);
  if (result != noErr) {
    printResult("Error opening file", result);
    return result;
  }
  std::uint32_t size = sizeof(AudioStreamBasicDescription);
  result = AudioFileGetProperty(*outFile, kAudioFilePropertyDataFormat, &size, outFormat);
  if (result != noErr) {
    printResult("Error getting file format", result);
    return result;
  }
  size = sizeof(std::uint64_t);
  result = AudioFileGetProperty(*outFile, kAudioFilePropertyAudioDataByteCount, &size, outDataSize);
  if (result != noErr) {
    printResult("Error getting file data size", result);
    return result;
  }
  return noErr;
}

void CalculateBytesForTime(const AudioStreamBasicDescription& format, std::uint32_t maxPacketSize, double seconds,
                           std::uint32_t* outBufferSize, std::uint32_t* outNumPackets) {
  std::uint32_t size;
  if (format.mFramesPerPacket != 0) {
    const double bytes = format.mSampleRate / format.mFramesPerPacket * seconds * maxPacketSize;
    if (!(bytes > 0)) {
      size = 0;
    } else if (bytes >= static_cast<double>(std::numeric_limits<std::uint32_t>::max())) {
      size = std::numeric_limits<std::uint32_t>::max();
    } else {
      size = static_cast<std::uint32_t>(bytes);
    }
  } else {
    size = std::max(maxPacketSize, kMaxBufferSize);
  }
  if (size > kMaxBufferSize && size > maxPacketSize) {
    size = kMaxBufferSize;
  } else if (size <= kMaxBufferSize && size < kMinBufferSize) {
    size = kMinBufferSize;
  }
  *outBufferSize = size;
  *outNumPackets = maxPacketSize ? size / maxPacketSize : 0;
}

bool FormatIsEqual(const AudioStreamBasicDescription& a, const AudioStreamBasicDescription& b) {
  if (a.mSampleRate != 0 && b.mSampleRate != 0 && a.mSampleRate != b.mSampleRate) return false;
  if (a.mFormatID != 0 && b.mFormatID != 0) {
    if (a.mFormatID != b.mFormatID) return false;
    if (a.mFormatFlags != 0 && b.mFormatFlags != 0) {
      std::uint32_t fa = a.mFormatFlags;
      std::uint32_t fb = b.mFormatFlags;
      if (a.mFormatID == kAudioFormatLinearPCM) {
        fa &= ~kAudioFormatFlagsAreAllClear;
        fb &= ~kAudioFormatFlagsAreAllClear;
        if ((fa & kLinearPCMFormatFlagIsPacked) && (fb & kLinearPCMFormatFlagIsPacked)) {
          fa &= ~kLinearPCMFormatFlagIsAlignedHigh;
          fb &= ~kLinearPCMFormatFlagIsAlignedHigh;
        }
        if ((fa & kLinearPCMFormatFlagIsFloat) && (fb & kLinearPCMFormatFlagIsFloat)) {
          fa &= ~kLinearPCMFormatFlagIsSignedInteger;
          fb &= ~kLinearPCMFormatFlagIsSignedInteger;
        }
        if (a.mBitsPerChannel <= 8 && (fa & kLinearPCMFormatFlagIsPacked)) fa &= ~kLinearPCMFormatFlagIsBigEndian;
        if (b.mBitsPerChannel <= 8 && (fb & kLinearPCMFormatFlagIsPacked)) fb &= ~kLinearPCMFormatFlagIsBigEndian;
        if (a.mChannelsPerFrame <= 1 && b.mChannelsPerFrame <= 1) {
          fa &= ~kLinearPCMFormatFlagIsNonInterleaved;
          fb &= ~kLinearPCMFormatFlagIsNonInterleaved;
        }
      }
      if (fa != fb) return false;
    }
  }
  auto differ = [](std::uint32_t x, std::uint32_t y) { return x != 0 && y != 0 && x != y; };
  if (differ(a.mBytesPerPacket, b.mBytesPerPacket)) return false;
  if (differ(a.mFramesPerPacket, b.mFramesPerPacket)) return false;
  if (differ(a.mBytesPerFrame, b.mBytesPerFrame)) return false;
  if (differ(a.mChannelsPerFrame, b.mChannelsPerFrame)) return false;
  if (differ(a.mBitsPerChannel, b.mBitsPerChannel)) return false;
  return true;
}

}  // namespace peckish
