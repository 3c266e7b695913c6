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

struct DecodedSound;

// Longer files are refused: a sound of this system is an effect, a spoken line or a music loop.
constexpr double kMaxSoundSeconds = 600.0;

// An open sound file, decoded front to back in blocks of one fixed size. That is the only way
// the decoder is ever asked for audio: what it gives can depend on how it is asked (a damaged MP3
// resyncs differently for different request sizes, and a read that returns nothing is not always
// the last one), so the count at open and every later read make the same calls in the same order
// and get the same frames. frames() is exactly what reads from the start deliver. Reading at a
// frame before the decoder's block starts a fresh decode at the top of the file; reading further
// on decodes forward to it. The reader keeps one block of decoded audio.
class SoundReader {
 public:
  // noErr, kFileNotFoundErr (no such regular file), kAudioFileUnsupportedFileTypeError (not a
  // sound file libsndfile reads) or kAudioFileUnsupportedDataFormatError (more than two channels,
  // or more than kMaxSoundSeconds of audio, which also logs one line). Decodes the file through
  // once to count its frames.
  static OSStatus open(const std::string& path, std::unique_ptr<SoundReader>* out);
  ~SoundReader();
  SoundReader(const SoundReader&) = delete;
  SoundReader& operator=(const SoundReader&) = delete;

  double sampleRate() const { return sampleRate_; }
  std::uint32_t channels() const { return channels_; }
  std::uint64_t frames() const { return frames_; }
  // Reads up to count frames from frame start into out (count x channels samples); returns the
  // frames read, 0 at or past the end. Fewer than asked before frames() only if the file changed
  // on disk since it was opened.
  std::uint64_t read(std::uint64_t start, std::int16_t* out, std::uint64_t count);

 private:
  friend OSStatus decodeSoundFile(const std::string& path, DecodedSound* out);
  SoundReader(int fd, sf_private_tag* file, double sampleRate, std::uint32_t channels);
  // Opens the file with its decoder at frame 0 and frames() not yet known; *headerFrames is what
  // the header says (0 if it says nothing trustworthy).
  static OSStatus start(const std::string& path, std::unique_ptr<SoundReader>* out, std::uint64_t* headerFrames);
  // The next block from the decoder; false once it has given its last (until rewind()).
  bool nextBlock();
  // A fresh decoder at frame 0 over the same open file; false if it cannot be made again.
  bool rewind();
  std::uint64_t blockEnd() const { return blockStart_ + blockFrames_; }

  int fd_;
  sf_private_tag* file_;
  double sampleRate_;
  std::uint32_t channels_;
  std::uint64_t frames_ = 0;
  std::vector<std::int16_t> block_;  // the decoder's latest block
  std::uint64_t blockStart_ = 0;     // its first frame
  std::uint64_t blockFrames_ = 0;    // frames in it
  bool ended_ = false;               // the decoder has given its last block
};

struct DecodedSound {
  double sampleRate = 0;
  std::uint32_t channels = 0;
  std::uint64_t frames = 0;
  std::vector<std::int16_t> samples;
};

// The whole file at once, decoded as SoundReader decodes it (so frames is what a SoundReader of
// the same file counts); the results of SoundReader::open.
OSStatus decodeSoundFile(const std::string& path, DecodedSound* out);

}  // namespace peckish::audio
