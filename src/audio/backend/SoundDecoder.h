#pragma once
// Decoding a whole sound file into 16-bit interleaved samples (mono or stereo) with libsndfile.
#include <cstdint>
#include <string>
#include <vector>

#include "audio/backend/CoreTypes.h"

namespace peckish::audio {

struct DecodedSound {
  double sampleRate = 0;
  std::uint32_t channels = 0;
  std::uint64_t frames = 0;
  std::vector<std::int16_t> samples;
};

// noErr, kFileNotFoundErr (no such regular file), kAudioFileUnsupportedFileTypeError (not a sound
// file libsndfile reads) or kAudioFileUnsupportedDataFormatError (more than two channels).
OSStatus decodeSoundFile(const std::string& path, DecodedSound* out);

}  // namespace peckish::audio
