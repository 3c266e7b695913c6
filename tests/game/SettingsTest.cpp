// The player's settings: changed by keys, remembered in the user defaults, used at the next start
// unless the command line says otherwise.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "ShellTestSupport.h"
#include "engine/menu/Menu.h"
#include "engine/menu/MenuItem.h"
#include "engine/transitions/TransitionRegistry.h"
#include "game/HighScoresLayer.h"
#include "game/PickupLines.h"
#include "game/SettingsScreen.h"
#include "game/SoundSettings.h"
#include "platform/Settings.h"
#include "ui/Banner.h"
#include "ui/Caption.h"

namespace peckish::test {
namespace {

class SettingsTest : public ShellTest {
 protected:
  void tapItem(const MenuItem* item) { tap(item->position().x, item->position().y); }
  static std::optional<std::string> stored(const char* key) {
    platform::UserDefaults::standard().reload();  // as the next start reads it
    return platform::UserDefaults::standard().stringForKey(key);
  }
};

platform::Options startWith(std::vector<std::string> args) {
  platform::UserDefaults::standard().reload();  // a new process reads the file again
  auto parsed = platform::parseOptions(args);
  EXPECT_TRUE(parsed.ok) << parsed.error;
  platform::applyRememberedSettings(parsed.options);
  return parsed.options;
}

TEST_F(SettingsTest, SettingsChangedByKeysSurviveARestartAndLoseToTheCommandLine) {
  platform::Display* d = &platform::Display::ensureOpen();
  d->setScale(2);
  ASSERT_EQ(d->scale(), 2);
  ASSERT_FALSE(d->fullscreen());
  ASSERT_GE(d->largestFittingScale(), 2) << "the offscreen desktop holds a window at scale 2";

  // A first start with nothing remembered: defaults.
  platform::Options fresh = startWith({});
  EXPECT_EQ(fresh.scale, 0) << "windowed: the largest scale that fits";
  EXPECT_FALSE(fresh.mute);
  EXPECT_FALSE(fresh.fullscreen);
  EXPECT_EQ(startWith({"--headless"}).scale, 2);

  launch();
  auto ctrlKey = [d](int code) {  // SDL key codes of '-', '=' and '+' are the characters
    d->injectKey(true, platform::Key::Other, code, true);
    d->injectKey(false, platform::Key::Other, code, true);
    d->pumpEvents();
  };
  ctrlKey('-');
  EXPECT_EQ(d->scale(), 1);
  ctrlKey('-');
  EXPECT_EQ(d->scale(), 1) << "never below 1";
  ctrlKey('=');
  ctrlKey('+');
  EXPECT_EQ(d->scale(), std::min(3, d->largestFittingScale())) << "never beyond the desktop";
  ctrlKey('-');
  const int scale = d->scale();
  key(platform::Key::M);
  key(platform::Key::F11);
  EXPECT_TRUE(d->fullscreen());
  ctrlKey('-');
  EXPECT_EQ(d->scale(), scale) << "the scale stays while fullscreen";
  app.reset();
  d->setFullscreen(false);  // the shared display, as the other tests expect it
  d->setScale(2);

  struct Case {
    std::vector<std::string> args;
    int scale;
    bool fullscreen;
    bool mute;
  } cases[] = {
      {{}, scale, true, true},
      {{"--scale", "3"}, 3, true, true},
      {{"--headless"}, 2, true, true},
  };
  for (const Case& c : cases) {
    const platform::Options o = startWith(c.args);
    const std::string what = ::testing::PrintToString(c.args);
    EXPECT_EQ(o.scale, c.scale) << what;
    EXPECT_EQ(o.fullscreen, c.fullscreen) << what;
    EXPECT_EQ(o.mute, c.mute) << what;
  }

  // A broken file gives the defaults back, not nonsense.
  platform::UserDefaults::standard().setString(platform::kScaleSetting, "12");
  platform::UserDefaults::standard().setString(platform::kMuteSetting, "yes");
  const platform::Options broken = startWith({});
  EXPECT_EQ(broken.scale, 0);
  EXPECT_FALSE(broken.mute);
}

TEST_F(SettingsTest, EveryRowOfTheSettingsScreenTakesEffectAtOnceShowsItAndIsRemembered) {
  platform::Display* d = &platform::Display::ensureOpen();
  d->setFullscreen(false);
  d->setScale(2);
  launch();
  const MenuItem* settingsItem = dynamic_cast<MenuItem*>(menuLayer()->menu()->children().back().node.get());
  ASSERT_NE(settingsItem, nullptr);
  tapItem(settingsItem);
  SettingsScreen* screen = app->settingsScreen();
  ASSERT_NE(screen, nullptr);
  frame(0.05);

  using Row = SettingsScreen::Row;
  struct Case {
    Row row;
    int by;
    std::string shown;
    const char* key;
    std::string kept;
    std::function<bool()> inEffect;
  } cases[] = {
      {Row::Music, -1, "90%", platform::kMusicVolumeSetting, "90", [] { return soundVolume(Volume::Music) == 90; }},
      {Row::Music, +1, "100%", platform::kMusicVolumeSetting, "100", [] { return soundVolume(Volume::Music) == 100; }},
      {Row::Music, +1, "100%", platform::kMusicVolumeSetting, "100", [] { return soundVolume(Volume::Music) == 100; }},
      {Row::Effects, -1, "90%", platform::kEffectsVolumeSetting, "90",
       [] { return soundVolume(Volume::Effects) == 90 && soundVolume(Volume::Voice) == 100; }},
      {Row::Voice, -1, "90%", platform::kVoiceVolumeSetting, "90",
       [] { return soundVolume(Volume::Voice) == 90 && soundVolume(Volume::Music) == 100; }},
      {Row::Captions, +1, "On", platform::kCaptionsSetting, "on", [] { return captionMode() == CaptionMode::On; }},
      {Row::Captions, +1, "Off", platform::kCaptionsSetting, "off", [] { return captionMode() == CaptionMode::Off; }},
      {Row::Captions, -1, "Auto", platform::kCaptionsSetting, "auto", [] { return captionMode() == CaptionMode::Auto; }},
      {Row::ReducedMotion, +1, "On", platform::kReducedMotionSetting, "1", [] { return reducedMotion(); }},
      {Row::ReducedMotion, +1, "Off", platform::kReducedMotionSetting, "0", [] { return !reducedMotion(); }},
      {Row::Fullscreen, +1, "On", platform::kFullscreenSetting, "1", [d] { return d->fullscreen(); }},
      {Row::Fullscreen, -1, "Off", platform::kFullscreenSetting, "0", [d] { return !d->fullscreen(); }},
      {Row::Scale, -1, "1x", platform::kScaleSetting, "1", [d] { return d->scale() == 1; }},
      {Row::Scale, -1, "1x", platform::kScaleSetting, "1", [d] { return d->scale() == 1; }},
      {Row::Scale, +1, "2x", platform::kScaleSetting, "2", [d] { return d->scale() == 2; }},
      {Row::Sharing, +1, "On", platform::kAnalyticsSetting, "1", [this] { return app->analyticsRunning(); }},
      {Row::Sharing, +1, "Off", platform::kAnalyticsSetting, "0", [this] { return !app->analyticsRunning(); }},
  };
  for (const Case& c : cases) {
    const std::string what = screen->shownText(c.row) + " stepped by " + std::to_string(c.by);
    tapItem(screen->item(c.row, c.by));
    EXPECT_TRUE(c.inEffect()) << what;
    EXPECT_EQ(screen->shownText(c.row), c.shown) << what;
    EXPECT_EQ(stored(c.key), c.kept) << what;
  }
  // Changed elsewhere (F11) while the screen is up: the row follows.
  key(platform::Key::F11);
  EXPECT_EQ(screen->shownText(Row::Fullscreen), "On");
  // A new voice volume is heard (or, captioned, seen) at once.
  tapItem(screen->item(Row::Captions, +1));
  tapItem(screen->item(Row::Voice, -1));
  ASSERT_NE(currentCaption(), nullptr);
  EXPECT_TRUE(currentCaption()->isVisible());
  EXPECT_EQ(currentCaption()->words(), findPickupLine("Holla.caf")->words);
  app.reset();
  d->setFullscreen(false);
  d->setScale(2);
}

TEST_F(SettingsTest, ReducedMotionTurnsEveryTransitionOfTheGameIntoAShortFade) {
  struct Step {
    const char* what;
    double duration;  // without reduced motion
    std::function<void()> go;
  } steps[] = {
      {"menu to game", 1.0, [this] { menuLayer()->play(); }},
      {"restart", 0.5,
       [this] {
         game()->restartGameDialog();
         tapButton(alert(), 0);
       }},
      {"game to menu", 1.0, [this] { game()->menu(); }},
      {"menu to high scores", 0.5, [this] { menuLayer()->scores(); }},
      {"high scores to menu", 0.5, [] { HighScoresLayer::running()->back(); }},
  };
  for (bool reduced : {false, true}) {
    // Remembered from an earlier run: in effect from the start.
    platform::rememberReducedMotion(reduced);
    platform::UserDefaults::standard().reload();
    launch();
    EXPECT_EQ(reducedMotion(), reduced);
    for (const Step& step : steps) {
      step.go();
      auto* fade = dynamic_cast<FadeTransition*>(director->nextScene());
      ASSERT_NE(fade, nullptr) << step.what;
      EXPECT_DOUBLE_EQ(fade->duration(), reduced ? std::min(step.duration, kReducedMotionFade) : step.duration)
          << step.what << (reduced ? ", reduced" : "");
      settle();
    }
    platform::Application::sharedApplication()->setDelegate(nullptr);
    app.reset();
    resetEngine();
  }
  setReducedMotion(false);
}

TEST_F(SettingsTest, TheSettingsScreenIsReachedAndLeftByKeysFromTheMenuAndThePausedGame) {
  using platform::Key;
  launch({});
  // From the main menu: Up shows the focus on Play, Up again wraps round to Settings.
  for (Key k : {Key::Up, Key::Up, Key::Return}) key(k);
  SettingsScreen* screen = app->settingsScreen();
  ASSERT_NE(screen, nullptr);
  EXPECT_EQ(Menu::frontmost(), screen->menu());
  // The first key shows the focus on the music's "-"; Return turns the music down.
  for (Key k : {Key::Down, Key::Return}) key(k);
  EXPECT_EQ(soundVolume(Volume::Music), 90);
  key(Key::Escape);
  EXPECT_EQ(app->settingsScreen(), nullptr);
  EXPECT_EQ(Menu::frontmost(), menuLayer()->menu()) << "the menu has the keys again";
  EXPECT_EQ(menuLayer()->menu()->focusedItem(), 5) << "still on Settings";

  // Over the paused game: O opens, Escape leaves the game as paused as it was.
  playFromMenu();
  State* state = State::sharedState();
  state->setFreq(1e9f);
  key(platform::Key::P);
  ASSERT_TRUE(app->isPlayerPaused());
  keyCode('o');
  screen = app->settingsScreen();
  ASSERT_NE(screen, nullptr);
  EXPECT_TRUE(screen->isOpen());
  EXPECT_FALSE(app->pauseBanner()->isVisible());
  EXPECT_FALSE(director->touchesBlocked()) << "the screen takes clicks";
  // The game's keys do nothing meanwhile; M is still the master switch.
  key(platform::Key::P);
  EXPECT_TRUE(app->isPlayerPaused());
  const double t = state->time();
  frames(5, 0.1);
  EXPECT_EQ(state->time(), t);
  key(platform::Key::M);
  EXPECT_TRUE(isAudioMuted());
  key(platform::Key::M);
  key(platform::Key::Escape);
  EXPECT_EQ(app->settingsScreen(), nullptr);
  EXPECT_EQ(alertCount(), 0) << "Escape left the settings only";
  EXPECT_TRUE(app->isPlayerPaused());
  EXPECT_TRUE(director->isPaused());
  EXPECT_TRUE(director->touchesBlocked());
  EXPECT_TRUE(app->pauseBanner()->isVisible());
  EXPECT_EQ(director->eventHandler(), static_cast<platform::TouchHandler*>(game()));
  key(platform::Key::P);
  EXPECT_FALSE(director->isPaused());
  frames(2, 0.1);
  EXPECT_LT(state->time(), t);
}

}  // namespace
}  // namespace peckish::test
