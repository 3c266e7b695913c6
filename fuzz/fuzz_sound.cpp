// Feeds arbitrary bytes to the sound loaders as a file: the whole-file decoder the effects use
// and the audio-file service the music player reads packets from (CAF, MP3 and whatever else the
// decoder recognises). Besides memory and undefined-behaviour errors it checks that what a file
// reports about itself matches what can be read from it, and that both decode the same frames.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "audio/backend/AudioFile.h"
#include "audio/backend/SoundDecoder.h"

using namespace peckish::audio;

namespace {
void check(bool ok) {
  if (!ok) std::abort();
}

// One in-memory file for the whole run, rewritten for each input.
int memoryFile() {
  static int fd = memfd_create("fuzz-sound", 0);
  check(fd >= 0);
  return fd;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const int fd = memoryFile();
  check(ftruncate(fd, 0) == 0);
  check(pwrite(fd, data, size, 0) == static_cast<ssize_t>(size));
  const std::string path = "/proc/self/fd/" + std::to_string(fd);

  DecodedSound sound;
  const bool decoded = decodeSoundFile(path, &sound) == noErr;
  if (decoded) {
    check(sound.channels == 1 || sound.channels == 2);
    check(sound.sampleRate > 0);
    check(sound.samples.size() == sound.frames * sound.channels);
  }

  AudioFileID file = nullptr;
  if (AudioFileOpenURL(FileURL{path}, kAudioFileReadPermission, 0, &file) != noErr) {
    check(file == nullptr && !decoded);
    return 0;
  }
  AudioStreamBasicDescription format{};
  std::uint32_t formatSize = sizeof format;
  check(AudioFileGetProperty(file, kAudioFilePropertyDataFormat, &formatSize, &format) == noErr);
  std::uint64_t packets = 0, bytes = 0;
  std::uint32_t eight = 8;
  check(AudioFileGetProperty(file, kAudioFilePropertyAudioDataPacketCount, &eight, &packets) == noErr);
  eight = 8;
  check(AudioFileGetProperty(file, kAudioFilePropertyAudioDataByteCount, &eight, &bytes) == noErr);
  std::uint32_t upper = 0, four = 4;
  check(AudioFileGetProperty(file, kAudioFilePropertyPacketSizeUpperBound, &four, &upper) == noErr);
  check(upper > 0 && bytes == packets * upper);

  // Read it all in odd-sized pieces, as the music queue does, and once past the end.
  std::vector<std::uint8_t> buffer(upper * 1000 + 3);
  std::uint64_t read = 0;
  for (std::int64_t start = 0;;) {
    std::uint32_t numBytes = static_cast<std::uint32_t>(buffer.size());
    std::uint32_t numPackets = 1000;
    check(AudioFileReadPacketData(file, false, &numBytes, nullptr, start, &numPackets, buffer.data()) == noErr);
    check(numBytes == numPackets * upper && numBytes <= buffer.size());
    if (numPackets == 0) break;
    read += numPackets;
    start += numPackets;
  }
  check(read == packets);
  check(!decoded || sound.frames == packets);
  check(AudioFileClose(file) == noErr);
  return 0;
}
