// The sound files the game ships, decoded the way the game decodes them: they must all play, leave
// headroom, keep the pickup lines short and above the music, and loop the music without a click.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "audio/backend/SoundDecoder.h"

using namespace peckish::audio;

namespace {

const char* const kEffects[] = {"Hit.caf", "Miss.caf", "GameOver.caf"};
const char* const kLines[] = {"Biscuts.caf", "DonkeyKong.caf", "DontUsually.caf", "FellFrom.caf", "Holla.caf",
                              "LikeThis.caf", "Milk.caf", "Mirror.caf", "NeedIt.caf", "NotLike.caf",
                              "Running.caf", "Snickers.caf", "Terrorist.caf", "WantIt.caf"};
const char* const kMusic[] = {"MenuMusic.mp3", "GameMusic.mp3"};

DecodedSound decode(const std::string& name) {
  DecodedSound sound;
  EXPECT_EQ(decodeSoundFile(std::string(PECKISH_SOURCE_DIR "/resources/") + name, &sound), noErr) << name;
  EXPECT_GT(sound.frames, 0u) << name;
  return sound;
}

double dbfs(double level) { return 20 * std::log10(level / 32768.0); }

double peakDb(const DecodedSound& s) {
  int peak = 0;
  for (std::int16_t v : s.samples) peak = std::max(peak, std::abs(int(v)));
  return dbfs(peak);
}

double rmsDb(const DecodedSound& s) {
  double sum = 0;
  for (std::int16_t v : s.samples) sum += double(v) * v;
  return dbfs(std::sqrt(sum / double(std::max<size_t>(1, s.samples.size()))));
}

TEST(ResourceSounds, DecodeWithHeadroomShortLinesAboveTheMusicAndSeamlessLoops) {
  for (const char* name : kEffects) {
    DecodedSound s = decode(name);
    EXPECT_LE(peakDb(s), -1.0) << name;
  }

  double quietestLine = 0;
  for (const char* name : kLines) {
    DecodedSound s = decode(name);
    EXPECT_LE(peakDb(s), -1.0) << name;
    EXPECT_LE(double(s.frames) / s.sampleRate, 3.0) << name;
    quietestLine = std::min(quietestLine, rmsDb(s));
  }

  double loudestMusic = -200;
  for (const char* name : kMusic) {
    DecodedSound s = decode(name);
    EXPECT_LE(peakDb(s), -1.0) << name;
    loudestMusic = std::max(loudestMusic, rmsDb(s));
    // The loop point: the step from the last frame back to the first must be an ordinary one,
    // within the 99th percentile of the steps between neighbouring samples, on every channel.
    ASSERT_GT(s.frames, 2u) << name;
    for (std::uint32_t c = 0; c < s.channels; ++c) {
      std::vector<int> steps;
      steps.reserve(s.frames);
      auto at = [&](std::uint64_t frame) { return int(s.samples[frame * s.channels + c]); };
      for (std::uint64_t i = 1; i < s.frames; ++i) steps.push_back(std::abs(at(i) - at(i - 1)));
      auto p99 = steps.begin() + std::ptrdiff_t(0.99 * double(steps.size() - 1));
      std::nth_element(steps.begin(), p99, steps.end());
      EXPECT_LE(std::abs(at(0) - at(s.frames - 1)), *p99) << name << " channel " << c;
    }
  }

  EXPECT_GE(quietestLine - loudestMusic, 4.0)
      << "quietest pickup line " << quietestLine << " dBFS RMS, louder music " << loudestMusic << " dBFS RMS";
}

}  // namespace
