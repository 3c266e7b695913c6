#include "audio/backend/SoundDecoder.h"

#include <sndfile.h>
#include <sys/stat.h>

#include <algorithm>

#include "core/Log.h"

namespace peckish::audio {

namespace {
constexpr sf_count_t kBlockFrames = 4096;
}  // namespace

SoundReader::SoundReader(SNDFILE* file, double sampleRate, std::uint32_t channels)
    : file_(file), sampleRate_(sampleRate), channels_(channels) {}

SoundReader::~SoundReader() { sf_close(file_); }

OSStatus SoundReader::open(const std::string& path, std::unique_ptr<SoundReader>* out) {
  out->reset();
  struct stat st{};
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return kFileNotFoundErr;
  SF_INFO info{};
  SNDFILE* sf = sf_open(path.c_str(), SFM_READ, &info);
  if (!sf) return kAudioFileUnsupportedFileTypeError;
  if (info.channels < 1 || info.channels > 2 || info.samplerate <= 0) {
    sf_close(sf);
    return kAudioFileUnsupportedDataFormatError;
  }
  // Floating-point sources are scaled to the full 16-bit range rather than clipped at +-1.
  sf_command(sf, SFC_SET_SCALE_FLOAT_INT_READ, nullptr, SF_TRUE);
  std::unique_ptr<SoundReader> reader(new SoundReader(sf, info.samplerate, std::uint32_t(info.channels)));
  const auto limit = static_cast<std::uint64_t>(kMaxSoundSeconds * info.samplerate);
  auto refuse = [&] {
    engineLog("Sound file refused: more than 10 minutes of audio: %s", path.c_str());
    return kAudioFileUnsupportedDataFormatError;
  };
  const bool estimated = (info.format & SF_FORMAT_TYPEMASK) == SF_FORMAT_MPEG || info.frames <= 0 ||
                         info.frames == SF_COUNT_MAX;
  if (!estimated) {
    if (std::uint64_t(info.frames) > limit) return refuse();
    reader->frames_ = std::uint64_t(info.frames);
    *out = std::move(reader);
    return noErr;
  }
  // Count by decoding through, without keeping anything; stop as soon as the limit is passed.
  std::vector<std::int16_t> block(size_t(kBlockFrames) * size_t(info.channels));
  std::uint64_t counted = 0;
  for (;;) {
    const sf_count_t got = sf_readf_short(sf, block.data(), kBlockFrames);
    if (got <= 0) break;
    counted += std::uint64_t(got);
    if (counted > limit) return refuse();
  }
  reader->frames_ = counted;
  reader->position_ = counted;
  *out = std::move(reader);
  return noErr;
}

std::uint64_t SoundReader::read(std::uint64_t start, std::int16_t* out, std::uint64_t count) {
  if (start >= frames_) return 0;
  if (count > frames_ - start) count = frames_ - start;
  if (start != position_) {
    if (sf_seek(file_, sf_count_t(start), SEEK_SET) < 0) return 0;
    position_ = start;
  }
  std::uint64_t done = 0;
  while (done < count) {
    const sf_count_t got = sf_readf_short(file_, out + done * channels_, sf_count_t(count - done));
    if (got <= 0) break;  // the decoder ran dry before the counted end
    done += std::uint64_t(got);
  }
  position_ += done;
  return done;
}

OSStatus decodeSoundFile(const std::string& path, DecodedSound* out) {
  std::unique_ptr<SoundReader> reader;
  const OSStatus err = SoundReader::open(path, &reader);
  if (err != noErr) return err;
  // Grown block by block: a header's frame count is not trusted with the allocation.
  const size_t channels = reader->channels();
  std::vector<std::int16_t> samples;
  samples.reserve(size_t(std::min<std::uint64_t>(reader->frames(), std::uint64_t(1) << 22)) * channels);
  std::uint64_t frames = 0;
  for (;;) {
    samples.resize(size_t(frames + kBlockFrames) * channels);
    const std::uint64_t got = reader->read(frames, samples.data() + frames * channels, kBlockFrames);
    frames += got;
    if (got == 0) break;
  }
  samples.resize(size_t(frames) * channels);
  out->sampleRate = reader->sampleRate();
  out->channels = reader->channels();
  out->frames = frames;
  out->samples = std::move(samples);
  return noErr;
}

}  // namespace peckish::audio
