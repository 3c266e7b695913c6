#pragma once
// Plain data types, identifiers and result codes shared by the audio service stand-ins: the shapes the
// music player and the effects registry were written against (stream descriptions, packet
// descriptions, four-character codes, numeric result codes), backed here by OpenAL and libsndfile.
#include <cstdint>
#include <optional>
#include <string>

namespace peckish::audio {

using OSStatus = std::int32_t;
constexpr OSStatus noErr = 0;

constexpr std::uint32_t fourCC(const char (&s)[5]) {
  return (std::uint32_t(std::uint8_t(s[0])) << 24) | (std::uint32_t(std::uint8_t(s[1])) << 16) |
         (std::uint32_t(std::uint8_t(s[2])) << 8) | std::uint32_t(std::uint8_t(s[3]));
}

// Result codes of the stand-in services.
constexpr OSStatus kParamErr = -50;
constexpr OSStatus kFileNotFoundErr = -43;
constexpr OSStatus kAudioFileUnspecifiedError = OSStatus(fourCC("wht?"));
constexpr OSStatus kAudioFileUnsupportedFileTypeError = OSStatus(fourCC("typ?"));
constexpr OSStatus kAudioFileUnsupportedDataFormatError = OSStatus(fourCC("fmt?"));
constexpr OSStatus kAudioFileUnsupportedPropertyError = OSStatus(fourCC("pty?"));
constexpr OSStatus kAudioFileBadPropertySizeError = OSStatus(fourCC("!siz"));
constexpr OSStatus kAudioFileNotOpenError = -38;
constexpr OSStatus kAudioQueueErr_InvalidBuffer = -66687;
constexpr OSStatus kAudioQueueErr_InvalidProperty = -66684;
constexpr OSStatus kAudioQueueErr_InvalidPropertySize = -66683;
constexpr OSStatus kAudioQueueErr_InvalidParameter = -66682;
constexpr OSStatus kAudioQueueErr_InvalidDevice = -66680;
constexpr OSStatus kAudioQueueErr_BufferInQueue = -66679;
constexpr OSStatus kAudioQueueErr_InvalidRunState = -66678;
constexpr OSStatus kAudioFormatUnsupportedDataFormatError = OSStatus(fourCC("fmt?"));
constexpr OSStatus kAudioServicesSystemSoundUnspecifiedError = -1500;

// Format ids and linear PCM flags.
constexpr std::uint32_t kAudioFormatLinearPCM = fourCC("lpcm");
constexpr std::uint32_t kAudioFormatMPEGLayer3 = fourCC(".mp3");
constexpr std::uint32_t kLinearPCMFormatFlagIsFloat = 1u << 0;
constexpr std::uint32_t kLinearPCMFormatFlagIsBigEndian = 1u << 1;
constexpr std::uint32_t kLinearPCMFormatFlagIsSignedInteger = 1u << 2;
constexpr std::uint32_t kLinearPCMFormatFlagIsPacked = 1u << 3;
constexpr std::uint32_t kLinearPCMFormatFlagIsAlignedHigh = 1u << 4;
constexpr std::uint32_t kLinearPCMFormatFlagIsNonInterleaved = 1u << 5;
constexpr std::uint32_t kAudioFormatFlagsAreAllClear = 1u << 31;

// The audio data format of a file or queue (40 bytes).
struct AudioStreamBasicDescription {
  double mSampleRate = 0;
  std::uint32_t mFormatID = 0;
  std::uint32_t mFormatFlags = 0;
  std::uint32_t mBytesPerPacket = 0;
  std::uint32_t mFramesPerPacket = 0;
  std::uint32_t mBytesPerFrame = 0;
  std::uint32_t mChannelsPerFrame = 0;
  std::uint32_t mBitsPerChannel = 0;
  std::uint32_t mReserved = 0;
};
static_assert(sizeof(AudioStreamBasicDescription) == 40);

// Where one packet of variable size lies in a buffer (16 bytes).
struct AudioStreamPacketDescription {
  std::int64_t mStartOffset = 0;
  std::uint32_t mVariableFramesInPacket = 0;
  std::uint32_t mDataByteSize = 0;
};
static_assert(sizeof(AudioStreamPacketDescription) == 16);

// A file URL made from a file-system path. Making one fails for an empty path or one holding a NUL
// byte; a relative path is made absolute against the working directory.
struct FileURL {
  std::string path;
  std::string string() const { return "file://" + path; }
};
std::optional<FileURL> fileURLWithPath(const std::string& path);

// The 16-bit linear PCM description every decoded file and every output queue uses here.
AudioStreamBasicDescription pcm16Format(double sampleRate, std::uint32_t channels);

}  // namespace peckish::audio
