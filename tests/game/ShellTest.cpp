// The application delegate: launch, focus, termination, pickup lines, laying views over the game,
// the player's keys.
#include <gtest/gtest.h>

#include <algorithm>

#include "ShellTestSupport.h"
#include "audio/BackgroundSoundManager.h"
#include "audio/SoundEffectManager.h"
#include "engine/render/Label.h"
#include "game/Autoplay.h"
#include "game/WebPage.h"
#include "platform/Notifications.h"
#include "platform/Window.h"
#include "ui/Banner.h"
#include "ui/NavigationBar.h"
#include "ui/WebView.h"

namespace peckish::test {
namespace {

using ShellLaunchTest = ShellTest;

TEST_F(ShellLaunchTest, LaunchSetsUpEverythingAndRunsTheMenu) {
  platform::Options shared;
  shared.analytics = true;
  launch(shared);
  ASSERT_EQ(journal, std::vector<std::string>{"analytics start"});
  EXPECT_EQ(Director::pixelFormat(), 1);
  EXPECT_TRUE(director->landscape());
  EXPECT_TRUE(director->isMultipleTouchEnabled());
  EXPECT_EQ(app->pickupLines().size(), 14u);
  EXPECT_EQ(app->pickupLines().front(), "Biscuts.caf");
  EXPECT_EQ(app->pickupLines().back(), "WantIt.caf");
  // Three effects and fourteen lines registered.
  EXPECT_EQ(SoundEffectManager::sharedManager()->soundCount(), 17u);
  // The panel covers the application frame: portrait, less the status bar.
  ASSERT_NE(app->webPage(), nullptr);
  const CGRect f = app->webPage()->frame();
  EXPECT_EQ(f.origin.x, 0.f);
  EXPECT_EQ(f.size.width, 300.f);
  EXPECT_EQ(f.size.height, 480.f);
  EXPECT_EQ(app->currentView(), nullptr);
  // The menu is running and its scene played a pickup line.
  EXPECT_NE(menuLayer(), nullptr);
  const auto& names = PeckishAppDelegate::pickupLineNames();
  EXPECT_NE(std::find(names.begin(), names.end(), app->lastPickupLine()), names.end());
}

TEST_F(ShellLaunchTest, PlayStartsAGameAndDemoADemo) {
  platform::Options play;
  play.play = true;
  launch(play);
  EXPECT_NE(game(), nullptr);
  EXPECT_EQ(State::sharedState()->currentLevel(), 1);
  app.reset();
  resetEngine();
  platform::Options demo;
  demo.demo = "transitions";
  launch(demo);
  EXPECT_EQ(game(), nullptr);
  EXPECT_EQ(menuLayer(), nullptr);
  EXPECT_NE(director->runningScene(), nullptr);
}

TEST_F(ShellLaunchTest, SeedMakesThePickupLinesRepeatable) {
  platform::Options options;
  options.seed = 99;
  launch(options);
  const std::string first = app->lastPickupLine();
  ::srandom(99);
  EXPECT_EQ(first, PeckishAppDelegate::pickupLineNames()[static_cast<unsigned long>(::random()) % 14]);
}

TEST_F(ShellLaunchTest, PickupLinesAreDrawnFromRandomModFourteen) {
  launch();
  const auto& names = PeckishAppDelegate::pickupLineNames();
  for (unsigned seed = 1; seed < 200; ++seed) {
    ::srandom(seed);
    const long r = ::random();
    ::srandom(seed);
    app->playRandomPickupLine();
    ASSERT_EQ(app->lastPickupLine(), names[static_cast<unsigned long>(r) % 14]) << seed;
  }
  // Building a game or a menu scene plays one through the game's hook.
  ::srandom(3);
  const long r = ::random();
  ::srandom(3);
  Ref<Scene> scene = mainMenu();
  EXPECT_EQ(app->lastPickupLine(), names[static_cast<unsigned long>(r) % 14]);
}

TEST_F(ShellLaunchTest, TerminationStopsTheAnalyticsOnce) {
  platform::Options shared;
  shared.analytics = true;
  launch(shared);
  journal.clear();
  platform::Application::sharedApplication()->terminate();
  platform::Application::sharedApplication()->terminate();
  app->applicationWillTerminate(*platform::Application::sharedApplication());
  EXPECT_EQ(journal, std::vector<std::string>{"analytics stop"});
}

TEST_F(ShellLaunchTest, RegainingTheFocusLiftsOnlyThePauseLosingItMade) {
  enum class Held { Nothing, RestartDialog, PlayersPause };
  const struct Case {
    const char* what;
    Held held;
  } cases[] = {
      {"a running game", Held::Nothing},
      {"behind the open restart dialog", Held::RestartDialog},
      {"paused by the player (P)", Held::PlayersPause},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    launch();
    playFromMenu();
    if (c.held == Held::RestartDialog) key(platform::Key::Escape);
    if (c.held == Held::PlayersPause) key(platform::Key::P);
    const bool held = c.held != Held::Nothing;
    EXPECT_EQ(director->isPaused(), held);
    State* state = State::sharedState();
    const double t = state->time();
    // Alt-tab away: the clock stands still.
    platform::Application& application = *platform::Application::sharedApplication();
    application.resignActive();
    EXPECT_TRUE(director->isPaused());
    frames(10, 0.1);
    EXPECT_EQ(state->time(), t);
    // And back: only a game that was running runs again.
    application.becomeActive();
    EXPECT_EQ(director->isPaused(), held);
    frame(0.5);
    const double back = held ? t : t - 0.5;
    EXPECT_NEAR(state->time(), back, 1e-9);
    EXPECT_EQ(alertCount(), c.held == Held::RestartDialog ? 1 : 0);
    EXPECT_EQ(app->isPlayerPaused(), c.held == Held::PlayersPause);
    // What made the pause lifts it: "No" (Escape) or P.
    if (held) key(c.held == Held::RestartDialog ? platform::Key::Escape : platform::Key::P);
    EXPECT_FALSE(director->isPaused());
    frame(0.25);
    EXPECT_NEAR(state->time(), back - 0.25, 1e-9);
    application.setDelegate(nullptr);
    app.reset();
    resetEngine();
  }
}

TEST_F(ShellLaunchTest, SwitchToTwiceThenOneSwitchBackLeavesNoPanel) {
  launch();
  platform::Window* window = director->window();
  Ref<WebPage> other = WebPage::initWithFrame(platform::Screen::mainScreen().applicationFrame());
  auto shown = [window](platform::View* v) {
    for (const auto& s : window->subviews())
      if (s.get() == v) return true;
    return false;
  };
  app->switchTo(app->webPage());
  EXPECT_TRUE(shown(app->webPage()));
  app->switchTo(other.get());
  EXPECT_FALSE(shown(app->webPage()));
  EXPECT_TRUE(shown(other.get()));
  EXPECT_EQ(app->currentView(), other.get());
  app->switchBack();
  EXPECT_FALSE(shown(other.get()));
  EXPECT_FALSE(shown(app->webPage()));
  EXPECT_EQ(app->currentView(), nullptr);
  app->switchBack();  // nothing left to take away
  EXPECT_EQ(window->subviews().size(), 1u);  // the Director's view alone
  EXPECT_TRUE(window->isKeyWindow());
  EXPECT_FALSE(director->isPaused());  // pages never pause the game underneath
}

TEST_F(ShellLaunchTest, ThePanelHasABlackStripWithBackAndThePageArea) {
  launch();
  WebPage* page = app->webPage();
  ASSERT_NE(page->navBar(), nullptr);
  ASSERT_NE(page->webView(), nullptr);
  EXPECT_EQ(page->titleItem()->title(), "TITLE");
  EXPECT_EQ(page->navBar()->barStyle(), 1);
  EXPECT_EQ(page->navBar()->leftTitle(), "Back");
  EXPECT_TRUE(page->navBar()->leftIsBack());
  EXPECT_FALSE(page->navBar()->rightTitle().has_value());
  EXPECT_EQ(page->navBar()->transform(), 1.571f);
  EXPECT_EQ(page->webView()->transform(), 1.571f);
  EXPECT_EQ(page->webView()->frame().size.width, 255.f);
  EXPECT_EQ(page->navBar()->frame().origin.x, 255.f);
  EXPECT_EQ(page->navBar()->frame().size.width, 45.f);
  // In landscape the strip runs along the top of the page, the whole width of the screen.
  app->switchTo(page);
  const CGRect strip = page->navBar()->sceneRect();
  EXPECT_EQ(strip.size.width, 480.f);
  EXPECT_EQ(strip.size.height, 45.f);
  EXPECT_GT(strip.origin.y, page->webView()->sceneRect().origin.y);
  // Back by tapping the button.
  const CGRect back = page->navBar()->leftButtonRect();
  tap(back.origin.x + 5, back.origin.y + 5);
  EXPECT_EQ(app->currentView(), nullptr);
}

TEST_F(ShellLaunchTest, KeysPauseMuteAndOpenTheRestartDialog) {
  launch();
  key(platform::Key::Escape);  // nothing to restart on the menu
  EXPECT_EQ(alertCount(), 0);
  EXPECT_FALSE(director->isPaused());
  key(platform::Key::M);
  EXPECT_TRUE(isAudioMuted());
  key(platform::Key::M);
  EXPECT_FALSE(isAudioMuted());
  playFromMenu();
  key(platform::Key::P);
  EXPECT_TRUE(director->isPaused());
  key(platform::Key::P);
  EXPECT_FALSE(director->isPaused());
  key(platform::Key::Escape);
  ASSERT_EQ(alertCount(), 1);
  EXPECT_EQ(alert()->title(), "Restart?");
  // While the dialog is up, P cannot lift its pause, but M still mutes.
  key(platform::Key::P);
  EXPECT_TRUE(director->isPaused());
  key(platform::Key::M);
  EXPECT_TRUE(isAudioMuted());
  key(platform::Key::Return);  // the highlighted (last) button: Menu
  EXPECT_EQ(alertCount(), 0);
  settle();
  EXPECT_NE(menuLayer(), nullptr);
}

TEST_F(ShellLaunchTest, ThePlayersPauseHoldsEveryTouchAndTheMusicAndOnlyPLiftsIt) {
  launch();
  // Outside a running game P does nothing: on the menu, and half-way through the fade to a game.
  key(platform::Key::P);
  EXPECT_FALSE(director->isPaused());
  menuLayer()->play();
  frames(4, 0.05);
  key(platform::Key::P);
  EXPECT_FALSE(director->isPaused());
  EXPECT_FALSE(app->isPlayerPaused());
  settle();
  ASSERT_NE(game(), nullptr);
  State* state = State::sharedState();
  state->setFreq(1e9f);
  Rooster* front = place<Rooster>(1);
  Rooster* back = place<Rooster>(7);

  key(platform::Key::P);
  ASSERT_TRUE(app->isPlayerPaused());
  EXPECT_TRUE(director->isPaused());
  ASSERT_NE(app->pauseBanner(), nullptr);
  EXPECT_TRUE(app->pauseBanner()->isVisible());
  EXPECT_EQ(app->pauseBanner()->headline(), "Paused");
  EXPECT_EQ(app->pauseBanner()->line(), "Press P to continue, O for settings");
  ASSERT_TRUE(BackgroundSoundManager::exists());  // OpenAL's null device stands in for a sound card
  BackgroundSoundManager* music = BackgroundSoundManager::shared();
  EXPECT_NE(music->currentTrack().find("GameMusic.mp3"), std::string::npos);
  EXPECT_TRUE(music->isPaused());
  // Not the mouse, a key nor the bot's finger reaches the frozen board.
  const CGPoint p = inside(front);
  tap(p.x, p.y);
  keyCode('w');
  Autoplay::tapAt(inside(front), 1, 0.0);
  EXPECT_EQ(state->score(), 0);
  EXPECT_FALSE(front->isTouched());
  EXPECT_FALSE(back->isTouched());
  // Losing and regaining the focus leaves the player's pause in place.
  platform::Application& application = *platform::Application::sharedApplication();
  application.resignActive();
  application.becomeActive();
  EXPECT_TRUE(director->isPaused());
  EXPECT_TRUE(app->pauseBanner()->isVisible());
  const double t = state->time();
  frames(5, 0.1);
  EXPECT_EQ(state->time(), t);
  tap(p.x, p.y);
  EXPECT_EQ(state->score(), 0);

  key(platform::Key::P);
  EXPECT_FALSE(app->isPlayerPaused());
  EXPECT_FALSE(director->isPaused());
  EXPECT_FALSE(app->pauseBanner()->isVisible());
  EXPECT_FALSE(music->isPaused());
  tap(p.x, p.y);
  EXPECT_EQ(state->score(), 25);

  // Escape while paused goes on to the restart dialog, which holds the game from then on.
  key(platform::Key::P);
  key(platform::Key::Escape);
  ASSERT_EQ(alertCount(), 1);
  EXPECT_FALSE(app->isPlayerPaused());
  EXPECT_FALSE(app->pauseBanner()->isVisible());
  EXPECT_FALSE(director->touchesBlocked());
  key(platform::Key::Escape);  // "No"
  EXPECT_FALSE(director->isPaused());
  keyCode('w');
  EXPECT_TRUE(back->isTouched());

  // Quitting while paused: the music stays held on the way out.
  key(platform::Key::P);
  ASSERT_TRUE(music->isPaused());
  application.terminate();
  application.setDelegate(nullptr);
  app.reset();
  EXPECT_TRUE(music->isPaused());
}

TEST_F(ShellLaunchTest, KeysTapTheHolesAndScoreAsClicksDo) {
  constexpr int kKeypad1 = 0x40000059, kKeypad3 = 0x4000005B;  // SDL's key codes of keypad 1 and 3
  launch();
  playFromMenu();
  State* state = State::sharedState();
  state->setFreq(1e9f);
  clearBoard();  // nothing the game spawned on the way in: every hole below is as the test leaves it
  // A hit: Q is the back row's left hole.
  Rooster* first = place<Rooster>(6);
  place<Rooster>(3);  // in front of it, and in the way of part of it
  keyCode('q');
  EXPECT_TRUE(first->isTouched());
  EXPECT_EQ(state->score(), 25);
  EXPECT_EQ(state->consecutiveHits(), 1);
  // A double hit by two keys: keypad 1 and 3, the front row's outer holes, in the same frame.
  place<Rooster>(0);
  place<Rooster>(2);
  frame(0.5);
  const double t = state->time();
  keyCode(kKeypad1);
  keyCode(kKeypad3);
  EXPECT_EQ(state->score(), 25 + 26 + 27 + 27 + 26);
  EXPECT_EQ(state->time(), t + 2.0);
  int twoX = 0;
  for (const auto& e : game()->children())
    if (auto* l = dynamic_cast<Label*>(e.node.get()); l && l->string() == "2 X") ++twoX;
  EXPECT_EQ(twoX, 1);
  // A miss: the girl in the middle hole (S) costs a tenth of the score and the streak.
  place<Girl>(4);
  keyCode('s');
  EXPECT_EQ(state->score(), 131 * 9 / 10);
  EXPECT_EQ(state->misses(), 1);
  EXPECT_EQ(state->consecutiveHits(), 0);
  // A key on an empty hole is a tap on the ground: it breaks the streak and scores nothing.
  Rooster* last = place<Rooster>(5);
  keyCode('d');
  EXPECT_TRUE(last->isTouched());
  EXPECT_EQ(state->consecutiveHits(), 1);
  const int score = state->score();
  keyCode('e');
  EXPECT_EQ(state->consecutiveHits(), 0);
  EXPECT_EQ(state->score(), score);
  // The menu has no holes.
  game()->menu();
  settle();
  keyCode('q');
  EXPECT_NE(menuLayer(), nullptr);
}

// The letter block goes by where the keys are, whatever a layout types with them, and in a game
// it only taps: a letter one of its keys types is no shortcut there (Colemak's E position types F).
TEST_F(ShellLaunchTest, TheLetterBlockTapsByPlaceOnEveryLayoutAndNothingElse) {
  using platform::Scancode;
  struct Case {
    const char* what;
    Scancode at;  // where the key is
    int types;    // the key code the layout gives it
    int hole;     // the hole it taps, -1: none
  } cases[] = {
      {"US Q", Scancode::Q, 'q', 6},
      {"US C", Scancode::C, 'c', 2},
      {"AZERTY: A position types q", Scancode::A, 'q', 3},
      {"AZERTY: Q position types a", Scancode::Q, 'a', 6},
      {"AZERTY: Z position types w", Scancode::Z, 'w', 0},
      {"AZERTY: W position types z", Scancode::W, 'z', 7},
      {"QWERTZ: Z position types y", Scancode::Z, 'y', 0},
      {"QWERTZ: Y position types z, outside the block", Scancode::Y, 'z', -1},
      {"Dvorak: W position types a comma", Scancode::W, ',', 7},
      {"Dvorak: S position types o", Scancode::S, 'o', 4},
      {"Dvorak: D position types e", Scancode::D, 'e', 5},
      {"Dvorak: X position types q", Scancode::X, 'q', 1},
      {"Colemak: E position types f", Scancode::E, 'f', 8},
      {"Colemak: S position types r", Scancode::S, 'r', 4},
      {"Colemak: K position types e, outside the block", Scancode::K, 'e', -1},
  };
  launch();
  playFromMenu();
  State::sharedState()->setFreq(1e9f);
  platform::Display* display = platform::Display::shared();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    display->setFullscreen(false);
    // A rooster in every hole, nothing else on the board.
    clearBoard();
    std::vector<Rooster*> roosters;
    for (int hole = 0; hole < 9; ++hole) roosters.push_back(place<Rooster>(hole));

    keyCode(c.types, c.at);
    for (int hole = 0; hole < 9; ++hole) EXPECT_EQ(roosters[hole]->isTouched(), hole == c.hole) << "hole " << hole;
    EXPECT_FALSE(display->fullscreen());
    EXPECT_FALSE(isAudioMuted());
    EXPECT_FALSE(app->isPlayerPaused());
    EXPECT_FALSE(director->isPaused());
    EXPECT_EQ(alertCount(), 0);
    ASSERT_NE(game(), nullptr);
  }
  // F11 still toggles fullscreen during a game.
  key(platform::Key::F11);
  EXPECT_TRUE(display->fullscreen());
  key(platform::Key::F11);
  EXPECT_FALSE(display->fullscreen());
}

TEST_F(ShellLaunchTest, MuteOptionSilencesTheAudio) {
  platform::Options options;
  options.mute = true;
  launch(options);
  EXPECT_TRUE(isAudioMuted());
}

TEST_F(ShellLaunchTest, RendersAtTheScreensScaleAndTimesFramesAtTheChosenRate) {
  const double refresh = platform::Screen::mainScreen().refreshRate();
  struct Case {
    const char* what;
    double fixedDt;
    int fps;
    double interval;
  } cases[] = {
      {"the display's rate", 0, 0, 1.0 / refresh},
      {"--fps 144", 0, 144, 1.0 / 144},
      {"--fixed-dt 0.0333333", 0.0333333, 0, 0.0333333},
      {"--fixed-dt wins over --fps", 0.05, 144, 0.05},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    platform::Options options;
    options.fixedDt = c.fixedDt;
    options.fps = c.fps;
    launch(options);
    EXPECT_TRUE(director->followsScreenScale());
    EXPECT_EQ(director->contentScaleFactor(), platform::Screen::mainScreen().scale());
    EXPECT_DOUBLE_EQ(director->animationInterval(), c.interval);
    // Half a second of the fake clock presents that many frames.
    platform::Display* display = platform::Display::shared();
    const auto before = display->presentedFrames();
    director->startAnimation();
    platform::RunLoop::main().advance(0.5 + 1e-6);
    EXPECT_NEAR(static_cast<double>(display->presentedFrames() - before), 0.5 / c.interval, 1.0);
    director->stopAnimation();
    app.reset();
    resetEngine();
  }
}

}  // namespace
}  // namespace peckish::test
