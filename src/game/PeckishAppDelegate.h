#pragma once
// The application delegate: starts the application and owns what outlives every scene.
//
// Launch, in order: analytics started when the player consents (below; credentials, no location
// tracking); the Director with the 32-bit surface, landscape and multiple touches; the remembered
// volumes and captions (game/SoundSettings.h); the three effects and the fourteen pickup lines
// registered; random() seeded (--seed N, else time + process id); the music manager; the web-page
// panel; then the first scene: the main menu, or a game straight away with --play, or an engine
// demo with --demo NAME. --mute silences the audio, --autoplay starts the bot.
//
// Afterwards: losing the foreground (focus, or the window minimised) pauses a running Director, and
// regaining it lifts only that pause: a game already paused behind the restart dialog or by the
// player (P) stays paused, so no clock runs out behind a dialog the player has not answered.
// Termination stops the analytics once; quitting while paused leaves the music held.
// switchTo lays a view (the web page) over the game, switchBack takes it away.
//
// Play statistics are shared only with the player's consent, decided once at launch before
// anything of the analytics client runs (no record, queue file, identifier or connection before):
// --analytics on|off for this run > DO_NOT_TRACK (off) > --headless or --autoplay runs (off) > the
// player's remembered answer > undecided: off, and the question ("Share" / "Don't share", Escape
// declines) once the first main menu shows in a real window. The settings screen changes it later.
//
// Keys (dialogs on screen are asked first): Escape in a game opens the restart dialog (on the
// high-score table it goes back to the main menu), M toggles
// the audio mute (remembered, as the display's fullscreen and scale are: platform/Settings.h
// keeps them in the user defaults whenever the player changes them), the keypad and the letter block tap the holes (game/KeyboardPlay.h), and P is
// the player's pause of a running game: the Director paused, every touch held back at the
// Director, the music held, and "Paused" / "Press P to continue" over the game until P again (or
// Escape, which goes on to the restart dialog). Outside a running game P does nothing. O in that
// pause, like "Settings" in the main menu, lays the settings screen over the game; leaving it
// (Escape, Back) finds the game still paused. While the screen is up only M of the shell's keys
// counts.
// A game controller plays the board (game/PadPlay.h); its Start is P, its Back/Select Escape, and
// a controller unplugged during a game makes the player's pause.
//
//   PeckishAppDelegate app(options);
//   return platform::Application::sharedApplication()->run(&app, options);
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/Object.h"
#include "platform/Application.h"
#include "platform/Display.h"

namespace peckish {

class SoundEffectManager;
class BackgroundSoundManager;
class WebPage;
class Autoplay;
class GameNode;
class SettingsScreen;
namespace platform {
class View;
}
namespace ui {
class AlertView;
class Banner;
}

class PeckishAppDelegate : public platform::ApplicationDelegate, public platform::KeyListener {
 public:
  // Sound files of the pickup lines, in the order of their table (game/PickupLines.h).
  static const std::vector<std::string>& pickupLineNames();
  // The pages of the high-score server.
  static constexpr const char* kHighScoresPath = "/highscores/public/index.php?gid=3";
  static constexpr const char* kBuyMorePath = "/highscores/public/buymore.php";
  // The frame timer's period: one frame per --fixed-dt seconds of game clock, else 1 / --fps,
  // else one frame per refresh of the display.
  static double frameInterval(const platform::Options& options);

  explicit PeckishAppDelegate(const platform::Options& options = {});
  ~PeckishAppDelegate() override;

  // The delegate that launched most recently (and is still alive), or null.
  static PeckishAppDelegate* current();

  // The seed for random(): --seed when given, otherwise the time and the process id.
  static std::uint32_t gameSeed(const platform::Options& options);

  void applicationDidFinishLaunching(platform::Application& app) override;
  void applicationWillResignActive(platform::Application& app) override;
  void applicationDidBecomeActive(platform::Application& app) override;
  void applicationWillTerminate(platform::Application& app) override;

  // One of the pickup lines at random, random() mod 14, with its caption when captions are shown.
  void playRandomPickupLine();
  // Logs "scores" and fades to the high-score table kept on this machine (game/HighScoresLayer.h),
  // `highlight` naming the entry to show in yellow.
  void showScores(const std::string& highlight = "");
  // Loads the page into the panel, titles it and lays it over the game: the online high-score
  // table (the table's "Online Table" button), the buy-more page (logging "buy").
  void showOnlineScores();
  void showBuyMore();
  // Lays a view over the game's view (replacing the one shown) / takes it away.
  void switchTo(platform::View* view);
  void switchBack();

  platform::View* currentView() const { return currentView_.get(); }
  WebPage* webPage() const { return webPage_.get(); }
  const std::vector<std::string>& pickupLines() const { return pickupLines_; }
  const platform::Options& options() const { return options_; }
  bool launched() const { return launched_; }
  // The pickup line played last (empty before the first).
  const std::string& lastPickupLine() const { return lastPickupLine_; }

  // The game layer of the running scene, or null.
  static GameNode* runningGame();

  // The analytics life cycle. Defaults: the analytics client's start and stop for the
  // application; tests put recorders here. Each returns the previous function.
  static std::function<void()> setAnalyticsStart(std::function<void()> start);
  static std::function<void()> setAnalyticsStop(std::function<void()> stop);

  // The launch's decision about sharing (see above).
  enum class AnalyticsChoice { Share, DontShare, Undecided };
  static AnalyticsChoice analyticsChoice(const platform::Options& options);
  // The player's answer, from the question or from a settings screen: remembered (in the user
  // defaults); sharing starts the analytics unless this run's own decision (command line,
  // DO_NOT_TRACK, headless or autoplay) keeps them off; declining stops them as termination does
  // and deletes the queue and the installation's identifier, in any run. Agreeing again starts
  // afresh with a new identifier.
  void setAnalyticsConsent(bool share);
  // Shows the question; does nothing while it is shown.
  void askAnalyticsConsent();
  ui::AlertView* consentAlert() const { return consentAlert_.get(); }
  bool analyticsRunning() const { return analyticsRunning_; }

  // Keys (see above).
  bool keyDown(const platform::KeyEvent& e) override;
  void padRemoved() override;

  // The player's pause (P). pauseGame does nothing unless a game is running.
  bool pauseGame();
  void resumeGame();
  bool isPlayerPaused() const { return userPaused_; }
  ui::Banner* pauseBanner() const { return pauseBanner_.get(); }

  // The settings screen over the running scene (nothing while a scene change is on its way).
  void showSettings();
  SettingsScreen* settingsScreen() const { return settings_.get(); }

 private:
  void runFirstScene(platform::Application& app);
  // Ends the player's pause without resuming the Director; the music too unless the application
  // is on its way out.
  void liftPlayerPause(bool resumeMusic = true);
  void settingsClosed();
  void startAnalytics();
  void consentAnswered(Object* alert, int button);
  void askWhenTheMenuShows();

  platform::Options options_;
  SoundEffectManager* sfx_ = nullptr;
  BackgroundSoundManager* snd_ = nullptr;
  std::vector<std::string> pickupLines_;
  Ref<WebPage> webPage_;
  Ref<platform::View> currentView_;
  Ref<Autoplay> bot_;
  Ref<ui::Banner> pauseBanner_;
  Ref<SettingsScreen> settings_;
  Ref<ui::AlertView> consentAlert_;
  std::uint64_t askTimer_ = 0;  // the question's timer on the main run loop
  std::string lastPickupLine_;
  std::uint32_t seed_ = 0;
  bool launched_ = false;
  bool terminated_ = false;
  bool userPaused_ = false;
  bool focusPaused_ = false;  // the Director paused by the loss of the foreground
  bool analyticsRunning_ = false;
};

}  // namespace peckish
