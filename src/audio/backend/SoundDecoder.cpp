#include "audio/backend/SoundDecoder.h"

#include <fcntl.h>
#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "core/Log.h"

namespace peckish::audio {

namespace {
// Every request to the decoder is for this many frames.
constexpr sf_count_t kBlockFrames = 4096;

// A decoder over fd from the top of the file (the descriptor stays open when it closes).
SNDFILE* openDecoder(int fd, SF_INFO* info) {
  *info = SF_INFO{};
  if (::lseek(fd, 0, SEEK_SET) != 0) return nullptr;
  SNDFILE* sf = sf_open_fd(fd, SFM_READ, info, SF_FALSE);
  // Floating-point sources are scaled to the full 16-bit range rather than clipped at +-1.
  if (sf) sf_command(sf, SFC_SET_SCALE_FLOAT_INT_READ, nullptr, SF_TRUE);
  return sf;
}

std::uint64_t frameLimit(double sampleRate) { return static_cast<std::uint64_t>(kMaxSoundSeconds * sampleRate); }

OSStatus refuse(const std::string& path) {
  engineLog("Sound file refused: more than 10 minutes of audio: %s", path.c_str());
  return kAudioFileUnsupportedDataFormatError;
}
}  // namespace

SoundReader::SoundReader(int fd, SNDFILE* file, double sampleRate, std::uint32_t channels)
    : fd_(fd),
      file_(file),
      sampleRate_(sampleRate),
      channels_(channels),
      block_(size_t(kBlockFrames) * channels) {}

SoundReader::~SoundReader() {
  if (file_) sf_close(file_);
  ::close(fd_);
}

OSStatus SoundReader::start(const std::string& path, std::unique_ptr<SoundReader>* out,
                            std::uint64_t* headerFrames) {
  out->reset();
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return kFileNotFoundErr;
  struct stat st{};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return kFileNotFoundErr;
  }
  SF_INFO info;
  SNDFILE* sf = openDecoder(fd, &info);
  if (!sf) {
    ::close(fd);
    return kAudioFileUnsupportedFileTypeError;
  }
  if (info.channels < 1 || info.channels > 2 || info.samplerate <= 0) {
    sf_close(sf);
    ::close(fd);
    return kAudioFileUnsupportedDataFormatError;
  }
  out->reset(new SoundReader(fd, sf, info.samplerate, std::uint32_t(info.channels)));
  // MP3 headers give only an estimate.
  const bool estimated = (info.format & SF_FORMAT_TYPEMASK) == SF_FORMAT_MPEG || info.frames <= 0 ||
                         info.frames == SF_COUNT_MAX;
  *headerFrames = estimated ? 0 : std::uint64_t(info.frames);
  if (*headerFrames > frameLimit(info.samplerate)) {
    out->reset();
    return refuse(path);
  }
  return noErr;
}

OSStatus SoundReader::open(const std::string& path, std::unique_ptr<SoundReader>* out) {
  std::unique_ptr<SoundReader> reader;
  std::uint64_t headerFrames = 0;
  const OSStatus err = start(path, &reader, &headerFrames);
  if (err != noErr) return err;
  // Count by decoding through, without keeping anything; stop as soon as the limit is passed.
  const std::uint64_t limit = frameLimit(reader->sampleRate_);
  while (reader->nextBlock()) {
    if (reader->blockEnd() > limit) return refuse(path);
  }
  reader->frames_ = reader->blockEnd();
  *out = std::move(reader);
  return noErr;
}

bool SoundReader::nextBlock() {
  blockStart_ += blockFrames_;
  blockFrames_ = 0;
  if (ended_ || !file_) return false;
  // The first request that gives nothing ends the stream: a damaged MP3 can give more frames to
  // the requests after it, and the count stopped there too.
  const sf_count_t got = sf_readf_short(file_, block_.data(), kBlockFrames);
  if (got <= 0) {
    ended_ = true;
    return false;
  }
  blockFrames_ = std::uint64_t(got);
  return true;
}

bool SoundReader::rewind() {
  if (file_) sf_close(file_);
  blockStart_ = 0;
  blockFrames_ = 0;
  ended_ = false;
  SF_INFO info;
  file_ = openDecoder(fd_, &info);
  if (file_ && (std::uint32_t(info.channels) != channels_ || double(info.samplerate) != sampleRate_)) {
    sf_close(file_);  // replaced in place by another sound since it was opened
    file_ = nullptr;
  }
  ended_ = !file_;
  return file_ != nullptr;
}

std::uint64_t SoundReader::read(std::uint64_t start, std::int16_t* out, std::uint64_t count) {
  if (start >= frames_) return 0;
  if (count > frames_ - start) count = frames_ - start;
  if (start < blockStart_ && !rewind()) return 0;
  std::uint64_t done = 0;
  while (done < count) {
    const std::uint64_t at = start + done;
    if (at >= blockEnd()) {
      if (!nextBlock()) break;  // dry before the counted end: the file changed since it was opened
      continue;
    }
    const std::uint64_t n = std::min(count - done, blockEnd() - at);
    std::copy_n(block_.data() + (at - blockStart_) * channels_, n * channels_, out + done * channels_);
    done += n;
  }
  return done;
}

OSStatus decodeSoundFile(const std::string& path, DecodedSound* out) {
  std::unique_ptr<SoundReader> reader;
  std::uint64_t headerFrames = 0;
  const OSStatus err = SoundReader::start(path, &reader, &headerFrames);
  if (err != noErr) return err;
  // One pass, no count first. Grown block by block: the header's frame count only sizes the
  // first allocation, and only up to a bound.
  const size_t channels = reader->channels();
  const std::uint64_t limit = frameLimit(reader->sampleRate());
  std::vector<std::int16_t> samples;
  samples.reserve(size_t(std::min<std::uint64_t>(headerFrames, std::uint64_t(1) << 22)) * channels);
  while (reader->nextBlock()) {
    if (reader->blockEnd() > limit) return refuse(path);
    samples.insert(samples.end(), reader->block_.begin(),
                   reader->block_.begin() + std::ptrdiff_t(reader->blockFrames_ * channels));
  }
  out->sampleRate = reader->sampleRate();
  out->channels = reader->channels();
  out->frames = reader->blockEnd();
  out->samples = std::move(samples);
  return noErr;
}

}  // namespace peckish::audio
