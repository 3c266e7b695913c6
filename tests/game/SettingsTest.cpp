// The player's settings: changed by keys, remembered in the user defaults, used at the next start
// unless the command line says otherwise.
#include <gtest/gtest.h>

#include "ShellTestSupport.h"
#include "platform/Settings.h"

namespace peckish::test {
namespace {

using SettingsTest = ShellTest;

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

}  // namespace
}  // namespace peckish::test
