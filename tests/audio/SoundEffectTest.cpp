#include <gtest/gtest.h>

#include <fstream>

#include "AudioTestSupport.h"
#include "audio/AudioMute.h"
#include "audio/SoundEffect.h"
#include "audio/SoundEffectManager.h"
#include "audio/backend/AudioQueue.h"
#include "audio/backend/Output.h"
#include "audio/backend/SystemSound.h"
#include "core/Log.h"

using namespace peckish;
using peckish::testing::ScopedEnv;
using peckish::testing::TempDir;
using peckish::testing::writeTone;

namespace {

class SoundEffects : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(writeTone(dir.file("Hit.caf"), SF_FORMAT_CAF, 22050, 1, 2205));
    ASSERT_TRUE(writeTone(dir.file("Miss.wav"), SF_FORMAT_WAV, 44100, 2, 4410));
    SoundEffectManager::purgeShared();
  }
  void TearDown() override {
    setAudioMuted(false);
    SoundEffectManager::purgeShared();
  }
  std::uint64_t decoded() const { return audio::audioCounters().systemSoundsDecoded; }
  std::uint64_t played() const { return audio::audioCounters().systemSoundsPlayed; }

  TempDir dir;
  ScopedEnv resources{"PECKISH_RESOURCES", dir.path()};
  LogCapture log;
};

TEST_F(SoundEffects, PlayByNameLoadsOnceAndKeepsTheSound) {
  SoundEffectManager* m = SoundEffectManager::sharedManager();
  EXPECT_EQ(m, SoundEffectManager::sharedManager());
  const auto d0 = decoded(), p0 = played();

  m->playSound("Hit.caf");
  EXPECT_EQ(m->soundCount(), 1u);
  EXPECT_EQ(decoded(), d0 + 1);
  EXPECT_EQ(played(), p0 + 1);

  m->playSound("Hit.caf");
  SoundEffect* hit = m->addSound("Hit.caf");
  ASSERT_NE(hit, nullptr);
  EXPECT_EQ(decoded(), d0 + 1) << "a registered sound is not decoded again";
  EXPECT_EQ(played(), p0 + 2);
  EXPECT_EQ(m->addSound("Miss.wav")->soundID() != hit->soundID(), true);
  EXPECT_EQ(m->soundCount(), 2u);
  EXPECT_TRUE(log.lines().empty());
}

TEST_F(SoundEffects, UnknownNamesDoNothingAndStoreNothing) {
  SoundEffectManager* m = SoundEffectManager::sharedManager();
  const auto d0 = decoded(), p0 = played();
  m->playSound("Nope.caf");
  EXPECT_EQ(m->addSound("Hit"), nullptr) << "the name must carry its extension";
  EXPECT_EQ(m->addSound(""), nullptr);
  EXPECT_EQ(m->addSound("../Hit.caf"), nullptr);
  EXPECT_EQ(m->soundCount(), 0u);
  EXPECT_EQ(decoded(), d0);
  EXPECT_EQ(played(), p0);
  EXPECT_TRUE(log.lines().empty()) << "a missing resource is not logged";
}

TEST_F(SoundEffects, MuteSilencesPlayButStillLoads) {
  SoundEffectManager* m = SoundEffectManager::sharedManager();
  EXPECT_FALSE(m->isMuted());
  m->mute();
  const auto p0 = played();
  m->playSound("Hit.caf");
  EXPECT_EQ(played(), p0);
  EXPECT_EQ(m->soundCount(), 1u) << "a muted manager still registers the sound";
  m->toggleMute();
  EXPECT_FALSE(m->isMuted());
  m->playSound("Hit.caf");
  EXPECT_EQ(played(), p0 + 1);
  m->toggleMute();
  m->unmute();
  EXPECT_FALSE(m->isMuted());
}

TEST_F(SoundEffects, LoadFailuresAreLoggedExactlyAndRetried) {
  EXPECT_EQ(SoundEffect::soundEffectWithContentsOfFile(""), nullptr);
  EXPECT_TRUE(log.lines().empty()) << "an absent path returns nothing without a log line";

  std::ofstream(dir.file("Broken.caf")) << "this is not a sound file";
  SoundEffectManager* m = SoundEffectManager::sharedManager();
  EXPECT_EQ(m->addSound("Broken.caf"), nullptr);
  const std::string line = "Error " + std::to_string(audio::kAudioFileUnsupportedFileTypeError) +
                           " loading sound at path: " + dir.file("Broken.caf");
  EXPECT_EQ(log.count(line), 1) << ::testing::PrintToString(log.lines());
  EXPECT_EQ(m->soundCount(), 0u);

  // Nothing was stored, so the next request loads again and now succeeds.
  ASSERT_TRUE(writeTone(dir.file("Broken.caf"), SF_FORMAT_CAF, 8000, 1, 800));
  EXPECT_NE(m->addSound("Broken.caf"), nullptr);

  EXPECT_EQ(SoundEffect::initWithContentsOfFile(dir.file("Gone.caf")), nullptr);
  EXPECT_TRUE(log.contains("Error -43 loading sound at path: " + dir.file("Gone.caf")));
}

TEST_F(SoundEffects, ManyOverlappingPlaysAndVibrateAreHarmless) {
  SoundEffectManager* m = SoundEffectManager::sharedManager();
  const auto p0 = played();
  for (int i = 0; i < 3 * audio::kSystemSoundSources; ++i) m->playSound(i % 2 ? "Hit.caf" : "Miss.wav");
  EXPECT_EQ(played(), p0 + 3 * audio::kSystemSoundSources) << "busy sources are reused, no play is refused";
  SoundEffect::vibrate();
  audio::AudioServicesPlaySystemSound(123456);  // an id never handed out
  EXPECT_EQ(played(), p0 + 3 * audio::kSystemSoundSources);
}

TEST_F(SoundEffects, ReleasingEverySoundLetsGoOfTheOutput) {
  SoundEffectManager::sharedManager()->playSound("Hit.caf");
  EXPECT_TRUE(audio::outputAvailable());
  SoundEffectManager::purgeShared();
  EXPECT_FALSE(audio::outputAvailable()) << "the last disposed sound closes the device";
  // And the service comes back on the next load.
  SoundEffectManager::sharedManager()->playSound("Hit.caf");
  EXPECT_TRUE(audio::outputAvailable());
}

TEST_F(SoundEffects, GlobalMuteCoversEffectsAndMusic) {
  EXPECT_FALSE(isAudioMuted());
  EXPECT_TRUE(toggleAudioMuted());
  EXPECT_TRUE(isAudioMuted());
  EXPECT_TRUE(SoundEffectManager::sharedManager()->isMuted());
  EXPECT_TRUE(audio::outputQueuesSilenced());
  const auto p0 = played();
  SoundEffectManager::sharedManager()->playSound("Hit.caf");
  EXPECT_EQ(played(), p0);
  EXPECT_FALSE(toggleAudioMuted());
  EXPECT_FALSE(SoundEffectManager::sharedManager()->isMuted());
  EXPECT_FALSE(audio::outputQueuesSilenced());
}

}  // namespace
