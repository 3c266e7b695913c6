// What actually reaches the speakers: each case runs in a child process (OpenAL reads its
// configuration once per process) whose OpenAL output goes to OpenAL Soft's wave-file writer.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

#include "AudioTestSupport.h"
#include "audio/AudioMute.h"
#include "audio/BackgroundSoundManager.h"
#include "audio/SoundEffectManager.h"
#include "audio/SoundEngine.h"
#include "audio/backend/Output.h"
#include "core/Log.h"

extern char** environ;

using namespace peckish;
using peckish::testing::TempDir;
using peckish::testing::writeTone;

namespace {

constexpr const char* kScenarioVar = "PECKISH_WAVE_SCENARIO";

// A volume scenario: "volume <sound> <music %> <effects %> <voices %> [<then %>]". The sound, one
// of effect, voice or music, plays for 0.8 s with the three volumes set before it starts; with a
// fifth number its own group's volume changes to that 0.25 s after the start.
void playWithVolumes(const std::string& scenario) {
  std::istringstream in(scenario.substr(7));
  std::string sound;
  int music = 0, effects = 0, voices = 0, then = -1;
  in >> sound >> music >> effects >> voices >> then;
  SoundEffectManager* sounds = SoundEffectManager::sharedManager();
  sounds->addSound("Line.wav", SoundGroup::Voices);
  sounds->setVolume(SoundGroup::Effects, effects / 100.f);
  sounds->setVolume(SoundGroup::Voices, voices / 100.f);
  SoundEngine_SetBackgroundMusicVolume(music / 100.f);
  BackgroundSoundManager* m = nullptr;
  if (sound == "music") {
    m = BackgroundSoundManager::sharedManager();
    ASSERT_NE(m, nullptr);
    m->playTrack("Tune.wav");
  } else {
    sounds->playSound(sound == "voice" ? "Line.wav" : "Long.wav");
  }
  auto run = [](int ms) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < end) platform::RunLoop::main().runOnce(0.01);
  };
  run(250);
  if (then >= 0) {
    if (sound == "music") SoundEngine_SetBackgroundMusicVolume(then / 100.f);
    else sounds->setVolume(sound == "voice" ? SoundGroup::Voices : SoundGroup::Effects, then / 100.f);
  }
  run(550);
  if (m) BackgroundSoundManager::purgeShared();
  SoundEffectManager::purgeShared();
}

// The child side: plays per the scenario for half a second, then lets go of the device so the
// wave writer finishes its file.
TEST(WaveChild, Scenario) {
  const char* scenario = std::getenv(kScenarioVar);
  if (!scenario) GTEST_SKIP() << "runs only as the child of a WaveOutput test";
  const std::string s = scenario;
  if (s == "no-device") {
    LogCapture log;
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(SoundEngine_Initialize(22050.0f), 5) << "no device: 5, not the OpenAL error";
    SoundEngine_Teardown();
    EXPECT_EQ(BackgroundSoundManager::sharedManager(), nullptr);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "") << "no device is not an error to print";
    EXPECT_TRUE(log.contains("Could not initialize"));
    EXPECT_EQ(BackgroundSoundManager::sharedManager(), nullptr) << "asking again fails again";
    EXPECT_EQ(SoundEngine_StartBackgroundMusic(), 1);

    SoundEffectManager* effects = SoundEffectManager::sharedManager();
    EXPECT_NE(effects->addSound("Hit.wav"), nullptr) << "effects load and play silently without a device";
    effects->playSound("Hit.wav");
    EXPECT_TRUE(toggleAudioMuted());
    EXPECT_FALSE(toggleAudioMuted());
    // The player is told once; the device is not tried again for every sound.
    EXPECT_EQ(log.count("peckish: no audio output device; playing without sound"), 1);
    EXPECT_EQ(audio::audioCounters().deviceOpenAttempts, 1u);

    ::testing::internal::CaptureStdout();
    EXPECT_NE(SoundEngine_LoadBackgroundMusicTrack((std::string(std::getenv("PECKISH_RESOURCES")) + "/Tune.wav").c_str(),
                                                   false, true),
              0);
    EXPECT_NE(::testing::internal::GetCapturedStdout().find("Error creating queue: "), std::string::npos);
    SoundEngine_Teardown();
    SoundEffectManager::purgeShared();
    return;
  }
  if (s.rfind("volume ", 0) == 0) {
    playWithVolumes(s);
    return;
  }
  if (s.find("muted") != std::string::npos) setAudioMuted(true);
  if (s.rfind("effect", 0) == 0) {
    SoundEffectManager::sharedManager()->playSound("Hit.wav");
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
  } else {
    BackgroundSoundManager* m = BackgroundSoundManager::sharedManager();
    ASSERT_NE(m, nullptr);
    m->playTrack("Tune.wav");
    ASSERT_FALSE(m->currentTrack().empty());
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(500);
    while (std::chrono::steady_clock::now() < end) platform::RunLoop::main().runOnce(0.01);
    BackgroundSoundManager::purgeShared();
  }
  SoundEffectManager::purgeShared();
}

class WaveOutput : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(writeTone(dir.file("Hit.wav"), SF_FORMAT_WAV, 22050, 1, 6615));   // 0.3 s
    ASSERT_TRUE(writeTone(dir.file("Tune.wav"), SF_FORMAT_WAV, 22050, 1, 2205));  // 0.1 s, loops
    ASSERT_TRUE(writeTone(dir.file("Long.wav"), SF_FORMAT_WAV, 22050, 1, 22050));  // 1 s
    ASSERT_TRUE(writeTone(dir.file("Line.wav"), SF_FORMAT_WAV, 22050, 1, 22050, 330.0));
  }

  // Runs the scenario in a child process whose OpenAL writes what it plays into a mono 22,050 Hz
  // wave file; returns that file's path.
  std::string playedInto(const std::string& scenario) {
    const std::string wave = dir.file(scenario + ".out.wav");
    const std::string conf = dir.file(scenario + ".conf");
    std::ofstream(conf) << "[general]\ndrivers = wave\nfrequency = 22050\nchannels = mono\n"
                        << "sample-type = int16\ndither = false\n"
                        << "[wave]\nfile = " << wave << "\n";
    runChild(scenario, "ALSOFT_CONF=" + conf);
    return wave;
  }

  // Seconds of the scenario's output louder than 1 % of full scale, and its peak.
  struct Heard {
    double seconds = 0, peak = 0;
  };
  Heard heardIn(const std::string& scenario) {
    const std::string wave = playedInto(scenario);
    SF_INFO info{};
    SNDFILE* sf = sf_open(wave.c_str(), SFM_READ, &info);
    Heard heard;
    if (!sf) return heard;
    std::vector<float> block(4096);
    long loud = 0;
    sf_count_t got = 0;
    while ((got = sf_readf_float(sf, block.data(), 4096)) > 0)
      for (sf_count_t i = 0; i < got; ++i) {
        heard.peak = std::max(heard.peak, double(std::fabs(block[i])));
        // A sine is above 1 % for most of each cycle; count the frames around such samples.
        if (std::fabs(block[i]) > 0.01) ++loud;
      }
    sf_close(sf);
    heard.seconds = double(loud) / 22050;
    return heard;
  }

  // Runs the scenario in a child process and returns the peak level of what it played.
  double peakOf(const std::string& scenario) {
    const std::string wave = playedInto(scenario);
    long frames = 0;
    const double peak = peckish::testing::peakOf(wave, &frames);
    EXPECT_GT(frames, 22050 / 4) << "the writer ran while the child played";
    return peak;
  }

  // Runs the child side of a scenario with the given OpenAL setting; the child's own expectations
  // decide its exit status.
  void runChild(const std::string& scenario, const std::string& openalSetting) {

    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
      std::string kv = *e;
      if (kv.rfind("ALSOFT_", 0) == 0 || kv.rfind(kScenarioVar, 0) == 0 || kv.rfind("PECKISH_RESOURCES=", 0) == 0)
        continue;
      env.push_back(kv);
    }
    env.push_back(openalSetting);
    env.push_back(std::string(kScenarioVar) + "=" + scenario);
    env.push_back("PECKISH_RESOURCES=" + dir.path());
    std::vector<char*> envp;
    for (auto& kv : env) envp.push_back(kv.data());
    envp.push_back(nullptr);

    char self[4096] = {};
    EXPECT_GT(::readlink("/proc/self/exe", self, sizeof self - 1), 0);
    std::string filter = "--gtest_filter=WaveChild.Scenario";
    char* argv[] = {self, filter.data(), nullptr};
    const std::string log = dir.file(scenario + ".log");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, self, &actions, nullptr, argv, envp.data());
    posix_spawn_file_actions_destroy(&actions);
    EXPECT_EQ(spawned, 0);
    int status = 0;
    ::waitpid(pid, &status, 0);
    std::stringstream childOutput;
    childOutput << std::ifstream(log).rdbuf();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << childOutput.str();
  }

  TempDir dir;
};

TEST_F(WaveOutput, EffectsAreHeardUnlessMuted) {
  EXPECT_GT(peakOf("effect"), 0.1);
  EXPECT_EQ(peakOf("effect-muted"), 0.0);
}

TEST_F(WaveOutput, MusicIsHeardUnlessMuted) {
  EXPECT_GT(peakOf("music"), 0.1);
  EXPECT_EQ(peakOf("music-muted"), 0.0);
}

// Each group's volume scales its own sounds, at once for a sound already playing, and leaves the
// other groups' sounds alone. Levels relative to the sound played at 100 %.
TEST_F(WaveOutput, VolumesReachTheirOwnSoundsOnly) {
  const double fullEffect = heardIn("volume effect 100 100 100").peak;
  const double fullVoice = heardIn("volume voice 100 100 100").peak;
  const double fullMusic = heardIn("volume music 100 100 100").peak;
  ASSERT_GT(fullEffect, 0.1);
  ASSERT_GT(fullVoice, 0.1);
  ASSERT_GT(fullMusic, 0.1);
  struct Case {
    const char* scenario;
    double full, level;
  } cases[] = {
      {"volume effect 100 50 100", fullEffect, 0.5},  {"volume effect 0 100 0", fullEffect, 1.0},
      {"volume voice 100 100 30", fullVoice, 0.3},    {"volume voice 0 0 100", fullVoice, 1.0},
      {"volume music 0 100 100", fullMusic, 0.0},     {"volume music 60 0 0", fullMusic, 0.6},
  };
  for (const Case& c : cases) EXPECT_NEAR(heardIn(c.scenario).peak / c.full, c.level, 0.05) << c.scenario;

  // Turned to 0 a quarter of a second in: what was heard stops there, not when the sound ends.
  for (const char* scenario : {"volume effect 100 100 100 0", "volume voice 100 100 100 0", "volume music 100 100 100 0"}) {
    const Heard h = heardIn(scenario);
    EXPECT_GT(h.seconds, 0.1) << scenario;
    EXPECT_LT(h.seconds, 0.5) << scenario << ": the sound kept playing after its volume went to 0";
  }
  const Heard untouched = heardIn("volume effect 100 100 100 100");
  EXPECT_GT(untouched.seconds, 0.6) << "the same sound at an unchanged volume plays on";
}

TEST_F(WaveOutput, WithoutAnyDeviceNothingCrashes) { runChild("no-device", "ALSOFT_DRIVERS=no-such-driver"); }

}  // namespace
