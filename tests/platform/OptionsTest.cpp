// The command line.
#include <gtest/gtest.h>

#include "platform/Options.h"

namespace peckish::test {
namespace {

using platform::parseOptions;

TEST(OptionsTest, DefaultsWithoutArguments) {
  const auto r = parseOptions({});
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.options.scale, 2);
  EXPECT_FALSE(r.options.headless);
  EXPECT_EQ(r.options.frames, 0);
  EXPECT_TRUE(r.options.screenshot.empty());
  EXPECT_EQ(r.options.fixedDt, 0.0);
  EXPECT_EQ(r.options.fps, 0);
  EXPECT_FALSE(r.options.seed.has_value());
  EXPECT_FALSE(r.options.analytics.has_value()) << "nothing given: the player's answer decides";
  EXPECT_FALSE(r.options.scaleGiven || r.options.muteGiven || r.options.fullscreenGiven || r.options.verbose)
      << "nothing given: the remembered settings apply";
}

TEST(OptionsTest, EveryOptionOfTheContractIsAccepted) {
  const char* argv[] = {"peckish", "--scale", "3", "--fullscreen", "--mute", "--headless", "--frames", "12",
                        "--screenshot", "/tmp/x.png", "--fixed-dt", "0.05", "--fps", "144", "--seed", "4294967295", "--play",
                        "--autoplay", "--demo", "particles", "--version", "--help", "--verbose", "--analytics", "off"};
  const auto r = parseOptions(static_cast<int>(std::size(argv)), argv);
  ASSERT_TRUE(r.ok) << r.error;
  const auto& o = r.options;
  EXPECT_EQ(o.scale, 3);
  EXPECT_TRUE(o.fullscreen && o.mute && o.headless && o.play && o.autoplay && o.version && o.help && o.verbose);
  EXPECT_TRUE(o.scaleGiven && o.muteGiven && o.fullscreenGiven);
  EXPECT_EQ(o.frames, 12);
  EXPECT_EQ(o.screenshot, "/tmp/x.png");
  EXPECT_DOUBLE_EQ(o.fixedDt, 0.05);
  EXPECT_EQ(o.fps, 144);
  EXPECT_EQ(o.seed, 4294967295u);
  EXPECT_EQ(o.demo, "particles");
  EXPECT_EQ(o.analytics, false);
  EXPECT_EQ(parseOptions({"--analytics=on"}).options.analytics, true);
}

TEST(OptionsTest, ValuesMayFollowAnEqualsSign) {
  const auto r = parseOptions({"--scale=4", "--frames=1", "--seed=0", "--screenshot=a=b.png"});
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(r.options.scale, 4);
  EXPECT_EQ(r.options.frames, 1);
  EXPECT_EQ(r.options.seed, 0u);
  EXPECT_EQ(r.options.screenshot, "a=b.png");
}

TEST(OptionsTest, BadValuesAndUnknownOptionsAreRefusedWithTheirName) {
  struct Case {
    std::vector<std::string> args;
    const char* mentions;
  } cases[] = {
      {{"--scale", "0"}, "--scale"},       {{"--scale", "9"}, "--scale"},
      {{"--scale", "2x"}, "--scale"},      {{"--scale"}, "--scale"},
      {{"--analytics", "yes"}, "--analytics"}, {{"--analytics"}, "--analytics"},
      {{"--frames", "-1"}, "--frames"},    {{"--frames", "0"}, "--frames"},
      {{"--fixed-dt", "0"}, "--fixed-dt"}, {{"--fixed-dt", "nan"}, "--fixed-dt"},
      {{"--fixed-dt", "inf"}, "--fixed-dt"}, {{"--seed", "-3"}, "--seed"},
      {{"--fps", "0"}, "--fps"},           {{"--fps", "1001"}, "--fps"},
      {{"--seed", "4294967296"}, "--seed"}, {{"--screenshot", ""}, "--screenshot"},
      {{"--headless=yes"}, "--headless"},  {{"--bogus"}, "--bogus"},
      {{"game.cfg"}, "game.cfg"},
  };
  for (const auto& c : cases) {
    const auto r = parseOptions(c.args);
    EXPECT_FALSE(r.ok) << c.args[0];
    EXPECT_NE(r.error.find(c.mentions), std::string::npos) << r.error;
  }
}

TEST(OptionsTest, HelpListsEveryOption) {
  const std::string help = platform::usageText();
  for (const char* o : {"--help", "--version", "--scale N", "--fullscreen", "--mute", "--headless", "--frames N",
                        "--screenshot FILE", "--fixed-dt S", "--fps N", "--seed N", "--play", "--autoplay", "--demo NAME",
                        "--verbose", "PECKISH_LOG", "PECKISH_DATA_DIR", "PECKISH_RESOURCES", "PECKISH_HIGHSCORE_URL", "PECKISH_ANALYTICS_HOST",
                        "PECKISH_PRODUCT_URL", "--analytics on|off", "DO_NOT_TRACK", "Privacy:"}) {
    EXPECT_NE(help.find(o), std::string::npos) << o;
  }
}

}  // namespace
}  // namespace peckish::test
