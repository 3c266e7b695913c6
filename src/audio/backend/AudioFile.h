#pragma once
// The audio-file service stand-in: opens a sound file (anything libsndfile decodes: WAV, CAF, AIFF,
// FLAC, Ogg, MP3) and serves it as 16-bit interleaved linear PCM in packets of one frame each,
// with the property calls the music player uses. Packets are decoded as they are read; the file
// object keeps one decoder block (see SoundReader), not the decoded audio. Files over ten minutes
// are refused.
#include <cstdint>

#include "audio/backend/CoreTypes.h"

namespace peckish::audio {

struct OpaqueAudioFile;
using AudioFileID = OpaqueAudioFile*;
using AudioFilePropertyID = std::uint32_t;

constexpr std::int8_t kAudioFileReadPermission = 0x01;

constexpr AudioFilePropertyID kAudioFilePropertyDataFormat = fourCC("dfmt");
constexpr AudioFilePropertyID kAudioFilePropertyAudioDataByteCount = fourCC("bcnt");
constexpr AudioFilePropertyID kAudioFilePropertyAudioDataPacketCount = fourCC("pcnt");
constexpr AudioFilePropertyID kAudioFilePropertyPacketSizeUpperBound = fourCC("pkub");
constexpr AudioFilePropertyID kAudioFilePropertyMagicCookieData = fourCC("mgic");
constexpr AudioFilePropertyID kAudioFilePropertyChannelLayout = fourCC("cmap");

// fileTypeHint 0 means "no hint"; only read permission is supported.
OSStatus AudioFileOpenURL(const FileURL& url, std::int8_t permissions, std::uint32_t fileTypeHint,
                          AudioFileID* outFile);
OSStatus AudioFileClose(AudioFileID file);
// Size of a property's value (0 for the magic cookie and channel layout of decoded PCM).
OSStatus AudioFileGetPropertyInfo(AudioFileID file, AudioFilePropertyID id, std::uint32_t* outSize,
                                  std::uint32_t* outWritable);
// ioSize: in the room at data, out the bytes written. The data format takes 40 bytes, the byte and
// packet counts 8, the packet size upper bound 4.
OSStatus AudioFileGetProperty(AudioFileID file, AudioFilePropertyID id, std::uint32_t* ioSize, void* data);
// Reads up to *ioNumPackets packets from startPacket into buffer. ioNumBytes: in the room in
// buffer, out the bytes read; *ioNumPackets becomes the packets read (0 at or past the end).
// Packet descriptions are not written for constant-size packets. useCache is accepted and ignored.
OSStatus AudioFileReadPacketData(AudioFileID file, bool useCache, std::uint32_t* ioNumBytes,
                                 AudioStreamPacketDescription* packetDescriptions, std::int64_t startPacket,
                                 std::uint32_t* ioNumPackets, void* buffer);

}  // namespace peckish::audio
