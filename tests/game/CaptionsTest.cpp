// Captions of the spoken lines and the sound settings behind them: a caption comes and goes with
// its line, names the right speaker, keeps off the holes, follows the captions setting (auto: when
// the line would not be heard); the volumes are stepped and remembered; the game and the sound
// script speak from the same table.
#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>

#include "ShellTestSupport.h"
#include "audio/SoundEffect.h"
#include "audio/SoundEffectManager.h"
#include "core/Exception.h"
#include "game/PickupLines.h"
#include "game/SoundSettings.h"
#include "platform/Paths.h"
#include "platform/Settings.h"
#include "ui/Caption.h"

namespace peckish::test {
namespace {

using CaptionsTest = ShellTest;

bool captionUp() { return currentCaption() && currentCaption()->isVisible(); }

// Checks the caption on screen against the line played last; returns the line's length (s).
double expectCaptionOf(const std::string& file) {
  const PickupLine* line = findPickupLine(file);
  EXPECT_NE(line, nullptr) << file;
  EXPECT_TRUE(captionUp()) << file;
  if (!line || !captionUp()) return 0;
  EXPECT_EQ(currentCaption()->speaker(), speakerName(line->speaker)) << file;
  EXPECT_EQ(currentCaption()->words(), line->words) << file;
  return SoundEffectManager::sharedManager()->addSound(file)->duration();
}

bool overlaps(CGRect a, CGRect b) {
  return a.origin.x < b.origin.x + b.size.width && b.origin.x < a.origin.x + a.size.width &&
         a.origin.y < b.origin.y + b.size.height && b.origin.y < a.origin.y + a.size.height;
}

TEST_F(CaptionsTest, ACaptionShowsItsLineWhileItPlaysAndKeepsOffTheHoles) {
  platform::Options muted;
  muted.mute = true;  // auto: captions on
  launch(muted);
  // The menu spoke a line at launch.
  const double length = expectCaptionOf(app->lastPickupLine());
  ASSERT_GT(length, 0.5);
  EXPECT_FALSE(overlaps(currentCaption()->strip(), CGRectMake(0, 0, 125, 60))) << "the rooster's hole in the menu";
  EXPECT_FALSE(overlaps(currentCaption()->strip(), CGRectMake(355, 0, 125, 60))) << "the girl's hole in the menu";
  platform::RunLoop::main().advance(length - 0.1);
  EXPECT_TRUE(captionUp()) << "shown while the line plays";
  platform::RunLoop::main().advance(0.2);
  EXPECT_FALSE(captionUp()) << "gone when it ends";

  // In a game: every line, with its own speaker and words, above the holes and the characters
  // standing in them, below the score line.
  playFromMenu();
  ASSERT_NE(game(), nullptr);
  for (const std::string& file : PeckishAppDelegate::pickupLineNames()) {
    speakPickupLine(file);
    expectCaptionOf(file);
    const CGRect strip = currentCaption()->strip();
    EXPECT_LT(strip.origin.y + strip.size.height, 288.f - 8.f) << "clear of the score line";
    for (unsigned i = 0; i < Positions::kCount; ++i) {
      const Vec2 p = Positions::pos(i);
      const float scale = i < 3 ? 1.0f : i < 6 ? 0.8f : 0.6f;
      // The hole around its point and a character of 100 x 100 points standing in it.
      const CGRect hole = CGRectMake(p.x - 60 * scale, p.y - 20 * scale, 120 * scale, 120 * scale);
      EXPECT_FALSE(overlaps(strip, hole)) << "hole " << i;
    }
  }
  // A new line replaces the caption and runs for its own length.
  const std::string& a = PeckishAppDelegate::pickupLineNames().front();
  const std::string& b = PeckishAppDelegate::pickupLineNames().back();
  speakPickupLine(a);
  platform::RunLoop::main().advance(0.5);
  speakPickupLine(b);
  const double lengthB = expectCaptionOf(b);
  platform::RunLoop::main().advance(lengthB - 0.1);
  EXPECT_TRUE(captionUp()) << "the first line's end does not take the second's caption";
  platform::RunLoop::main().advance(0.2);
  EXPECT_FALSE(captionUp());
}

TEST_F(CaptionsTest, TheCaptionsSettingAndTheVolumesAreAppliedAndRemembered) {
  launch();
  struct Case {
    CaptionMode mode;
    bool muted;
    int voice;
    bool shown;
  } cases[] = {
      {CaptionMode::Auto, false, 100, false}, {CaptionMode::Auto, true, 100, true},
      {CaptionMode::Auto, false, 0, true},    {CaptionMode::Auto, false, 10, false},
      {CaptionMode::Off, true, 0, false},     {CaptionMode::On, false, 100, true},
  };
  for (const Case& c : cases) {
    setCaptionMode(c.mode);
    setAudioMuted(c.muted);
    setSoundVolume(Volume::Voice, c.voice);
    if (currentCaption()) currentCaption()->dismiss();
    app->playRandomPickupLine();
    EXPECT_EQ(captionUp(), c.shown) << "mode " << static_cast<int>(c.mode) << " muted " << c.muted << " voice "
                                    << c.voice;
    if (c.shown) expectCaptionOf(app->lastPickupLine());
  }
  setAudioMuted(false);

  // Steps of 10 within 0 to 100, each group on its own.
  setSoundVolume(Volume::Music, 47);
  setSoundVolume(Volume::Effects, 120);
  setSoundVolume(Volume::Voice, -5);
  EXPECT_EQ(soundVolume(Volume::Music), 50);
  EXPECT_EQ(soundVolume(Volume::Effects), 100);
  EXPECT_EQ(soundVolume(Volume::Voice), 0);
  setSoundVolume(Volume::Effects, 70);
  EXPECT_EQ(SoundEffectManager::sharedManager()->volume(SoundGroup::Effects), 0.7f);
  EXPECT_EQ(SoundEffectManager::sharedManager()->volume(SoundGroup::Voices), 0.0f);
  EXPECT_EQ(SoundEffectManager::sharedManager()->groupOf("Hit.caf"), SoundGroup::Effects);
  EXPECT_EQ(SoundEffectManager::sharedManager()->groupOf("Holla.caf"), SoundGroup::Voices);
  setCaptionMode(CaptionMode::On);

  // What the next start finds.
  auto& defaults = platform::UserDefaults::standard();
  EXPECT_EQ(defaults.stringForKey("music-volume"), "50");
  EXPECT_EQ(defaults.stringForKey("effects-volume"), "70");
  EXPECT_EQ(defaults.stringForKey("voice-volume"), "0");
  EXPECT_EQ(defaults.stringForKey("captions"), "on");
  defaults.setString("music-volume", "35");  // not a step: the default
  setSoundVolume(Volume::Effects, 100);
  setSoundVolume(Volume::Voice, 100);
  setCaptionMode(CaptionMode::Auto);
  defaults.setString("effects-volume", "20");
  defaults.setString("captions", "off");
  applyRememberedSoundSettings();
  EXPECT_EQ(soundVolume(Volume::Music), 100);
  EXPECT_EQ(soundVolume(Volume::Effects), 20);
  EXPECT_EQ(soundVolume(Volume::Voice), 100);
  EXPECT_EQ(captionMode(), CaptionMode::Off);
  setSoundVolume(Volume::Effects, 100);
}

// The sound script speaks the lines from the table the game reads, and the table is well formed.
TEST(PickupLineTable, TheGameAndTheSoundScriptReadTheSameLines) {
  const std::vector<PickupLine>& table = pickupLineTable();
  ASSERT_EQ(table.size(), 14u);
  std::vector<std::string> files;
  for (const PickupLine& line : table) files.push_back(line.file);
  EXPECT_EQ(PeckishAppDelegate::pickupLineNames(), files);

  const std::string command = std::string("bash '") + PECKISH_SOURCE_DIR + "/tools/assets/make-sounds.sh' list-lines";
  FILE* pipe = ::popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::string spoken;
  char buffer[512];
  while (size_t n = std::fread(buffer, 1, sizeof buffer, pipe)) spoken.append(buffer, n);
  ASSERT_EQ(::pclose(pipe), 0) << spoken;
  std::istringstream rows(spoken);
  std::string row;
  size_t i = 0;
  for (; std::getline(rows, row); ++i) {
    ASSERT_LT(i, table.size()) << row;
    const PickupLine& line = table[i];
    const bool rooster = line.speaker == Speaker::Rooster;
    // file, speaker, the speaking rate festival starts from, the words
    EXPECT_EQ(row, line.file + "\t" + (rooster ? "rooster\t1.15\t" : "girl\t1.0\t") + line.words);
    EXPECT_FALSE(platform::pathForResource(line.file).empty()) << line.file;
  }
  EXPECT_EQ(i, table.size());

  // Rows the game refuses rather than caption wrongly.
  struct Bad {
    const char* text;
    const char* reason;
  } bad[] = {
      {"# a comment\n\nA.caf\trooster\n", "Row 3 of the pickup lines: needs a file, a speaker and the words"},
      {"A.caf\trooster\tHi\nB.caf\then\tCluck\n", "Row 2 of the pickup lines: the speaker is rooster or girl, not 'hen'"},
      {"\tgirl\tHi\n", "Row 1 of the pickup lines: needs a file, a speaker and the words"},
  };
  for (const Bad& b : bad) {
    std::istringstream in(b.text);
    try {
      parsePickupLines(in);
      ADD_FAILURE() << b.text;
    } catch (const Exception& e) {
      EXPECT_EQ(e.name(), "BadPickupLines");
      EXPECT_EQ(e.reason(), b.reason);
    }
  }
  std::istringstream crlf("# lines\r\nA.caf\tgirl\tHi there\r\n");
  const std::vector<PickupLine> parsed = parsePickupLines(crlf);
  ASSERT_EQ(parsed.size(), 1u);
  EXPECT_EQ(parsed[0].words, "Hi there");
  EXPECT_EQ(parsed[0].speaker, Speaker::Girl);
}

}  // namespace
}  // namespace peckish::test
