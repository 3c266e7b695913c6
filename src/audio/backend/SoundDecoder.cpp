#include "audio/backend/SoundDecoder.h"

#include <sndfile.h>
#include <sys/stat.h>

namespace peckish::audio {

OSStatus decodeSoundFile(const std::string& path, DecodedSound* out) {
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
  const int channels = info.channels;
  std::vector<std::int16_t> samples;
  if (info.frames > 0 && info.frames < (sf_count_t(1) << 28)) samples.reserve(size_t(info.frames) * channels);
  // The frame count of compressed files is an estimate; read until the decoder runs dry.
  std::vector<std::int16_t> block(4096 * size_t(channels));
  for (;;) {
    sf_count_t got = sf_readf_short(sf, block.data(), 4096);
    if (got <= 0) break;
    samples.insert(samples.end(), block.begin(), block.begin() + got * channels);
  }
  sf_close(sf);
  out->sampleRate = info.samplerate;
  out->channels = static_cast<std::uint32_t>(channels);
  out->frames = samples.size() / size_t(channels);
  out->samples = std::move(samples);
  return noErr;
}

}  // namespace peckish::audio
