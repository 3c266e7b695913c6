#pragma once
// The background track player: a play list of audio files through one output queue. Each file is
// either streamed through three buffers of about half a second or read whole into one buffer; at the
// end of a file the player moves to the next one (keeping the queue and buffers when the format and
// size allow) and at the end of the list it loops back to the first, unless told to stop at the end.
// Result codes: 0 success, 3 no file URL could be made, otherwise the audio service's own code.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "audio/backend/AudioFile.h"
#include "audio/backend/AudioQueue.h"

namespace peckish {

using audio::AudioQueueBufferRef;
using audio::AudioQueueRef;
using audio::AudioStreamBasicDescription;
using audio::OSStatus;

// One file of the play list.
struct BG_FileInfo {
  explicit BG_FileInfo(std::string path) : filePath(std::move(path)) {}
  ~BG_FileInfo();
  BG_FileInfo(const BG_FileInfo&) = delete;
  BG_FileInfo& operator=(const BG_FileInfo&) = delete;

  std::string filePath;
  audio::AudioFileID audioFile = nullptr;  // open while the file is current
  AudioStreamBasicDescription dataFormat{};
  std::uint64_t dataByteCount = 0;
  bool loadWhole = false;
  bool dataQueued = false;  // a whole-file buffer of this file is filled and queued
};

// What a file boundary needs (GetQueueStateForNextBuffer).
enum : std::uint32_t {
  kQueueState_ReuseWholeBuffer = 1,
  kQueueState_KeepStreaming = 2,
  kQueueState_NeedNewBuffers = 3,
  kQueueState_NeedNewQueue = 4,
};

constexpr int kNumberBuffers = 3;

class BackgroundTrackMgr {
 public:
  BackgroundTrackMgr();
  ~BackgroundTrackMgr();
  BackgroundTrackMgr(const BackgroundTrackMgr&) = delete;
  BackgroundTrackMgr& operator=(const BackgroundTrackMgr&) = delete;

  OSStatus LoadTrack(const char* path, bool addToQueue, bool loadWhole);
  OSStatus SetupQueue(BG_FileInfo* info);
  OSStatus SetupBuffers(BG_FileInfo* info);
  static void QueueCallback(void* userData, AudioQueueRef queue, AudioQueueBufferRef buffer);
  static void QueueStoppedProc(void* userData, AudioQueueRef queue, std::uint32_t propertyID);
  static std::uint32_t GetQueueStateForNextBuffer(BG_FileInfo* current, BG_FileInfo* next);
  static OSStatus AttachNewCookie(AudioQueueRef queue, BG_FileInfo* info);
  static bool DisposeBuffer(AudioQueueRef queue, std::vector<AudioQueueBufferRef>& toDispose,
                            AudioQueueBufferRef buffer);
  void Teardown();

  BG_FileInfo* CurrentFileInfo() const;

  AudioQueueRef queue = nullptr;
  AudioQueueBufferRef buffers[kNumberBuffers] = {};
  std::uint32_t bufferByteSize = 0;
  std::int64_t currentPacket = 0;
  std::uint32_t packetsPerRead = 0;
  float volume = 1.0f;
  std::unique_ptr<audio::AudioStreamPacketDescription[]> packetDescriptions;
  std::vector<std::unique_ptr<BG_FileInfo>> files;
  std::uint32_t currentFileIndex = 0;
  bool rebuildQueueWhenStopped = false;
  bool stopAtEnd = false;
  std::vector<AudioQueueBufferRef> buffersToDispose;

 private:
  void DisposeQueue();
  void RemoveRecord(BG_FileInfo* info);
};

OSStatus OpenFile(const char* path, audio::AudioFileID* outFile);
OSStatus LoadFileDataInfo(const char* path, audio::AudioFileID* outFile, AudioStreamBasicDescription* outFormat,
                          std::uint64_t* outDataSize);
void CalculateBytesForTime(const AudioStreamBasicDescription& format, std::uint32_t maxPacketSize, double seconds,
                           std::uint32_t* outBufferSize, std::uint32_t* outNumPackets);
bool FormatIsEqual(const AudioStreamBasicDescription& a, const AudioStreamBasicDescription& b);

}  // namespace peckish
