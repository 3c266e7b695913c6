#include <gtest/gtest.h>

#include "AudioTestSupport.h"
#include "audio/AudioMute.h"
#include "audio/BackgroundSoundManager.h"
#include "audio/BackgroundTrackMgr.h"
#include "audio/OpenALObject.h"
#include "audio/SoundEffectManager.h"
#include "audio/SoundEngine.h"
#include "audio/backend/Output.h"
#include "core/Log.h"

using namespace peckish;
using namespace peckish::audio;
using peckish::testing::FakeRunLoop;
using peckish::testing::ScopedEnv;
using peckish::testing::TempDir;
using peckish::testing::writeTone;

namespace {

class Music : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(writeTone(dir.file("Menu.wav"), SF_FORMAT_WAV, 8000, 1, 1200));
    ASSERT_TRUE(writeTone(dir.file("Game.caf"), SF_FORMAT_CAF, 11025, 2, 1500));
  }
  void TearDown() override {
    BackgroundSoundManager::purgeShared();
    SoundEngine_Teardown();
    setAudioMuted(false);
    SoundEffectManager::purgeShared();
  }
  BackgroundTrackMgr* player() const { return SoundEngine_BackgroundTrackMgr(); }
  bool playing() const {
    if (!player() || !player()->queue) return false;
    std::uint32_t r = 0, size = 4;
    AudioQueueGetProperty(player()->queue, kAudioQueueProperty_IsRunning, &r, &size);
    return r != 0;
  }

  TempDir dir;
  ScopedEnv resources{"PECKISH_RESOURCES", dir.path()};
  FakeRunLoop loop;
  LogCapture log;
};

TEST_F(Music, TheManagerOpensTheDeviceAndStartsIdle) {
  BackgroundSoundManager* m = BackgroundSoundManager::sharedManager();
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(m, BackgroundSoundManager::sharedManager());
  EXPECT_TRUE(m->currentTrack().empty());
  OpenALObject* al = SoundEngine_OpenALObject();
  ASSERT_NE(al, nullptr);
  EXPECT_NE(al->device, nullptr);
  EXPECT_NE(al->context, nullptr);
  EXPECT_EQ(al->mixerOutputRate, 22050.0f);
  EXPECT_EQ(al->gain, 1.0f);
  EXPECT_TRUE(outputAvailable());
  ASSERT_NE(player(), nullptr);
  EXPECT_TRUE(player()->files.empty());
  EXPECT_EQ(player()->volume, 1.0f);

  BackgroundSoundManager::purgeShared();
  EXPECT_EQ(SoundEngine_OpenALObject(), nullptr);
  EXPECT_EQ(player(), nullptr);
  EXPECT_FALSE(log.contains("ERROR: SoundEngine_Teardown"));
}

TEST_F(Music, PlayTrackLoopsAndTheSameTrackIsNotRestarted) {
  BackgroundSoundManager* m = BackgroundSoundManager::sharedManager();
  m->playTrack("Menu.wav");
  EXPECT_EQ(m->currentTrack(), dir.file("Menu.wav"));
  ASSERT_NE(player(), nullptr);
  EXPECT_TRUE(player()->files[0]->loadWhole) << "tracks are always read whole";
  EXPECT_TRUE(playing());
  ASSERT_TRUE(loop.pumpUntil([&] { return player()->currentPacket > 3 * 1200; }));

  BackgroundTrackMgr* before = player();
  AudioQueueRef queue = player()->queue;
  const auto reads = audioCounters().packetReads;
  const auto position = player()->currentPacket;
  m->playTrack("Menu.wav");
  EXPECT_EQ(player(), before);
  EXPECT_EQ(player()->queue, queue);
  EXPECT_GE(player()->currentPacket, position) << "no restart from the beginning";
  EXPECT_EQ(audioCounters().packetReads, reads);
  EXPECT_TRUE(playing());

  m->playTrack("Game.caf");
  EXPECT_EQ(m->currentTrack(), dir.file("Game.caf"));
  ASSERT_NE(player(), nullptr);
  ASSERT_EQ(player()->files.size(), 1u);
  EXPECT_EQ(player()->files[0]->filePath, dir.file("Game.caf"));
  EXPECT_EQ(player()->files[0]->dataFormat.mChannelsPerFrame, 2u);
  EXPECT_TRUE(playing());
  EXPECT_TRUE(log.lines().empty()) << ::testing::PrintToString(log.lines());
}

TEST_F(Music, StopUnloadsThePlayer) {
  BackgroundSoundManager* m = BackgroundSoundManager::sharedManager();
  m->stop();  // nothing current: nothing happens
  EXPECT_NE(player(), nullptr);
  m->playTrack("Menu.wav");
  m->stop();
  EXPECT_TRUE(m->currentTrack().empty());
  EXPECT_EQ(player(), nullptr);
  EXPECT_EQ(SoundEngine_StartBackgroundMusic(), 1);
  EXPECT_EQ(SoundEngine_StopBackgroundMusic(false), 1);
  EXPECT_EQ(SoundEngine_StopBackgroundMusic(true), 1);
  m->stop();
  loop.turns(10);

  m->playTrack("Menu.wav");  // and it can play again
  EXPECT_TRUE(playing());
  EXPECT_TRUE(log.lines().empty()) << ::testing::PrintToString(log.lines());
}

TEST_F(Music, AMissingTrackLeavesSilenceAndNoCurrentTrack) {
  BackgroundSoundManager* m = BackgroundSoundManager::sharedManager();
  m->playTrack("Menu.wav");
  m->playTrack("Nowhere.mp3");
  EXPECT_EQ(log.count("ERROR: SoundEngine_LoadBackgroundMusicTrack"), 1);
  EXPECT_TRUE(m->currentTrack().empty());
  EXPECT_EQ(player(), nullptr) << "the previous track was stopped and unloaded";
  loop.turns(10);

  // A file that exists but is no sound: the engine prints its failure, the manager logs.
  std::FILE* f = std::fopen(dir.file("Noise.wav").c_str(), "w");
  std::fputs("not audio", f);
  std::fclose(f);
  ::testing::internal::CaptureStdout();
  m->playTrack("Noise.wav");
  const std::string out = ::testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find("Error getting file data info: "), std::string::npos) << out;
  EXPECT_EQ(log.count("ERROR: SoundEngine_LoadBackgroundMusicTrack"), 2);
  EXPECT_TRUE(m->currentTrack().empty());
  ASSERT_NE(player(), nullptr);
  EXPECT_TRUE(player()->files.empty());
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(SoundEngine_StartBackgroundMusic(), kAudioQueueErr_InvalidRunState) << "nothing loaded: no queue";
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "Error priming queue");
}

TEST_F(Music, StopAtEndReturnsAtOnceAndStopsAfterTheTrack) {
  BackgroundSoundManager* m = BackgroundSoundManager::sharedManager();
  m->playTrack("Menu.wav");
  loop.turns(3);
  EXPECT_EQ(SoundEngine_StopBackgroundMusic(true), 0);
  EXPECT_TRUE(player()->stopAtEnd);
  EXPECT_TRUE(playing()) << "the track plays on to its end";
  ASSERT_TRUE(loop.pumpUntil([&] { return !playing(); }));
  EXPECT_EQ(m->currentTrack(), dir.file("Menu.wav")) << "the manager still names it until stop";
  m->stop();
  EXPECT_EQ(player(), nullptr);
}

TEST_F(Music, TheEngineFunctionsWithoutTheManager) {
  EXPECT_EQ(SoundEngine_StartBackgroundMusic(), 1);
  EXPECT_EQ(SoundEngine_Initialize(0.0f), 0);
  EXPECT_EQ(SoundEngine_Initialize(44100.0f), 0) << "initialising again replaces the objects";
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(SoundEngine_LoadBackgroundMusicTrack(nullptr, false, true), 3);
  ::testing::internal::GetCapturedStdout();
  EXPECT_EQ(SoundEngine_LoadBackgroundMusicTrack(dir.file("Menu.wav").c_str(), false, true), 0);
  EXPECT_EQ(SoundEngine_StartBackgroundMusic(), 0);
  EXPECT_TRUE(playing());
  EXPECT_EQ(SoundEngine_StopBackgroundMusic(false), 0);
  EXPECT_FALSE(playing());
  EXPECT_EQ(SoundEngine_UnloadBackgroundMusicTrack(), 0);
  EXPECT_EQ(SoundEngine_UnloadBackgroundMusicTrack(), 0);
  EXPECT_EQ(SoundEngine_LoadBackgroundMusicTrack(dir.file("Menu.wav").c_str(), false, true), 0)
      << "loading makes a new player when there is none";
  EXPECT_EQ(SoundEngine_Teardown(), 0);
  EXPECT_EQ(SoundEngine_Teardown(), 0);
  EXPECT_EQ(player(), nullptr);
}

TEST_F(Music, TheMasterGainAndGlobalMuteReachTheQueue) {
  gMasterVolumeGain = 0.5f;
  BackgroundSoundManager* m = BackgroundSoundManager::sharedManager();
  m->playTrack("Menu.wav");
  float v = 0;
  ASSERT_EQ(AudioQueueGetParameter(player()->queue, kAudioQueueParam_Volume, &v), noErr);
  EXPECT_FLOAT_EQ(v, 0.5f);
  gMasterVolumeGain = 1.0f;

  setAudioMuted(true);
  EXPECT_TRUE(outputQueuesSilenced());
  EXPECT_TRUE(playing()) << "muted music keeps its place";
  ASSERT_EQ(AudioQueueGetParameter(player()->queue, kAudioQueueParam_Volume, &v), noErr);
  EXPECT_FLOAT_EQ(v, 0.5f) << "the queue's own volume is kept for unmuting";
  setAudioMuted(false);
}

TEST_F(Music, CompressedTracksDecode) {
  // libsndfile writes MP3 only when built with an encoder; otherwise use the shipped music.
  std::string name = "Tone.mp3";
  std::optional<ScopedEnv> shipped;
  if (!writeTone(dir.file(name), SF_FORMAT_MPEG, 44100, 2, 44100)) {
    name = "MenuMusic.mp3";
    const std::string resources = std::string(PECKISH_SOURCE_DIR) + "/resources";
    if (!std::filesystem::exists(resources + "/" + name)) GTEST_SKIP() << "no MP3 encoder and no MP3 resource";
    shipped.emplace("PECKISH_RESOURCES", resources);
  }
  BackgroundSoundManager* m = BackgroundSoundManager::sharedManager();
  m->playTrack(name);
  ASSERT_FALSE(m->currentTrack().empty()) << ::testing::PrintToString(log.lines());
  const auto& format = player()->files[0]->dataFormat;
  EXPECT_EQ(format.mFormatID, kAudioFormatLinearPCM);
  EXPECT_EQ(format.mSampleRate, 44100.0);
  EXPECT_GT(player()->files[0]->dataByteCount, 0u);
  EXPECT_TRUE(playing());
}

}  // namespace
