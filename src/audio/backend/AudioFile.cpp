#include "audio/backend/AudioFile.h"

#include <cstring>
#include <memory>

#include "audio/backend/Output.h"
#include "audio/backend/SoundDecoder.h"

namespace peckish::audio {

// The file keeps no decoded audio of its own beyond the reader's one block: packets are decoded
// when they are read, so a track read whole into a queue buffer exists once, in that buffer.
struct OpaqueAudioFile {
  AudioStreamBasicDescription format;
  std::unique_ptr<SoundReader> reader;
  std::uint64_t frames = 0;
};

OSStatus AudioFileOpenURL(const FileURL& url, std::int8_t permissions, std::uint32_t /*fileTypeHint*/,
                          AudioFileID* outFile) {
  if (!outFile) return kParamErr;
  *outFile = nullptr;
  if (permissions != kAudioFileReadPermission) return kParamErr;
  std::unique_ptr<SoundReader> reader;
  OSStatus err = SoundReader::open(url.path, &reader);
  if (err != noErr) return err;
  auto* file = new OpaqueAudioFile;
  file->format = pcm16Format(reader->sampleRate(), reader->channels());
  file->frames = reader->frames();
  file->reader = std::move(reader);
  ++audioCounters().fileOpens;
  *outFile = file;
  return noErr;
}

OSStatus AudioFileClose(AudioFileID file) {
  if (!file) return kAudioFileNotOpenError;
  delete file;
  return noErr;
}

namespace {
std::uint32_t propertySize(AudioFilePropertyID id) {
  switch (id) {
    case kAudioFilePropertyDataFormat: return sizeof(AudioStreamBasicDescription);
    case kAudioFilePropertyAudioDataByteCount:
    case kAudioFilePropertyAudioDataPacketCount: return 8;
    case kAudioFilePropertyPacketSizeUpperBound: return 4;
    case kAudioFilePropertyMagicCookieData:
    case kAudioFilePropertyChannelLayout: return 0;
    default: return ~0u;
  }
}
}  // namespace

OSStatus AudioFileGetPropertyInfo(AudioFileID file, AudioFilePropertyID id, std::uint32_t* outSize,
                                  std::uint32_t* outWritable) {
  if (!file) return kAudioFileNotOpenError;
  std::uint32_t size = propertySize(id);
  if (size == ~0u) return kAudioFileUnsupportedPropertyError;
  if (outSize) *outSize = size;
  if (outWritable) *outWritable = 0;
  return noErr;
}

OSStatus AudioFileGetProperty(AudioFileID file, AudioFilePropertyID id, std::uint32_t* ioSize, void* data) {
  if (!file) return kAudioFileNotOpenError;
  std::uint32_t size = propertySize(id);
  if (size == ~0u) return kAudioFileUnsupportedPropertyError;
  if (size == 0) return kAudioFileUnsupportedPropertyError;  // PCM has no cookie and no layout
  if (!ioSize || !data || *ioSize < size) return kAudioFileBadPropertySizeError;
  const std::uint64_t bytes = file->frames * file->format.mBytesPerFrame;
  switch (id) {
    case kAudioFilePropertyDataFormat: std::memcpy(data, &file->format, size); break;
    case kAudioFilePropertyAudioDataByteCount: std::memcpy(data, &bytes, size); break;
    case kAudioFilePropertyAudioDataPacketCount: std::memcpy(data, &file->frames, size); break;
    case kAudioFilePropertyPacketSizeUpperBound: std::memcpy(data, &file->format.mBytesPerPacket, size); break;
    default: break;
  }
  *ioSize = size;
  return noErr;
}

OSStatus AudioFileReadPacketData(AudioFileID file, bool /*useCache*/, std::uint32_t* ioNumBytes,
                                 AudioStreamPacketDescription* /*packetDescriptions*/, std::int64_t startPacket,
                                 std::uint32_t* ioNumPackets, void* buffer) {
  if (!file) return kAudioFileNotOpenError;
  if (!ioNumBytes || !ioNumPackets || (!buffer && *ioNumPackets > 0)) return kParamErr;
  if (startPacket < 0) return kParamErr;
  ++audioCounters().packetReads;
  const std::uint32_t packetBytes = file->format.mBytesPerPacket;
  std::uint64_t want = *ioNumPackets;
  const std::uint64_t start = static_cast<std::uint64_t>(startPacket);
  const std::uint64_t left = start < file->frames ? file->frames - start : 0;
  if (want > left) want = left;
  if (want > *ioNumBytes / packetBytes) want = *ioNumBytes / packetBytes;
  if (want > 0) want = file->reader->read(start, static_cast<std::int16_t*>(buffer), want);
  const std::uint64_t bytes = want * packetBytes;
  *ioNumPackets = static_cast<std::uint32_t>(want);
  *ioNumBytes = static_cast<std::uint32_t>(bytes);
  return noErr;
}

}  // namespace peckish::audio
