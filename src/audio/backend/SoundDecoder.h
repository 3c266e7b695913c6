#pragma once
// Reading sound files as 16-bit interleaved samples (mono or stereo) with libsndfile: a whole file
// at once (system sounds) or frame ranges on demand (the music player's audio files).
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "audio/backend/CoreTypes.h"

struct sf_private_tag;  // libsndfile's SNDFILE

namespace peckish::audio {

// Longer files are refused: a sound of this system is an effect, a spoken line or a music loop.
constexpr double kMaxSoundSeconds = 600.0;

// An open sound file. frames() is exact: where the file's header gives only an estimate (MP3, or
// no length at all) the file is decoded through once at open to count them.
class SoundReader {
 public:
  // noErr, kFileNotFoundErr (no such regular file), kAudioFileUnsupportedFileTypeError (not a
  // sound file libsndfile reads) or kAudioFileUnsupportedDataFormatError (more than two channels,
  // or more than kMaxSoundSeconds of audio, which also logs one line).
  static OSStatus open(const std::string& path, std::unique_ptr<SoundReader>* out);
  ~SoundReader();
  SoundReader(const SoundReader&) = delete;
  SoundReader& operator=(const SoundReader&) = delete;

  double sampleRate() const { return sampleRate_; }
  std::uint32_t channels() const { return channels_; }
  std::uint64_t frames() const { return frames_; }
  // Reads up to count frames from frame start into out (count x channels samples); returns the
  // frames read, 0 at or past the end.
  std::uint64_t read(std::uint64_t start, std::int16_t* out, std::uint64_t count);

 private:
  SoundReader(sf_private_tag* file, double sampleRate, std::uint32_t channels);

  sf_private_tag* file_;
  double sampleRate_;
  std::uint32_t channels_;
  std::uint64_t frames_ = 0;
  std::uint64_t position_ = 0;  // the decoder's next frame
};

struct DecodedSound {
  double sampleRate = 0;
  std::uint32_t channels = 0;
  std::uint64_t frames = 0;
  std::vector<std::int16_t> samples;
};

// The whole file at once; the results of SoundReader::open.
OSStatus decodeSoundFile(const std::string& path, DecodedSound* out);

}  // namespace peckish::audio
