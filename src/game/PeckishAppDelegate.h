#pragma once
// The application delegate: starts the application and owns what outlives every scene.
//
// Launch, in order: analytics started (credentials, no location tracking); the Director with the
// 32-bit surface, landscape and multiple touches; the three effects and the fourteen pickup lines
// registered; random() seeded (--seed N, else time + process id); the music manager; the web-page
// panel; then the first scene: the main menu, or a game straight away with --play, or an engine
// demo with --demo NAME. --mute silences the audio, --autoplay starts the bot.
//
// Afterwards: losing the foreground pauses the Director, regaining it resumes it (always, also
// behind the restart dialog); termination stops the analytics once. switchTo lays a view (the web
// page) over the game, switchBack takes it away. Keys: Escape in a game opens the restart dialog,
// P pauses and resumes, M toggles the audio mute (dialogs on screen are asked first). Mute and the
// display's fullscreen and scale are remembered in the user defaults whenever the player changes
// them (platform/Settings.h).
//
//   PeckishAppDelegate app(options);
//   return platform::Application::sharedApplication()->run(&app, options);
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
namespace platform {
class View;
}

class PeckishAppDelegate : public platform::ApplicationDelegate, public platform::KeyListener {
 public:
  // Sound files of the fourteen pickup lines, in order.
  static const std::vector<std::string>& pickupLineNames();
  // The pages of the high-score server.
  static constexpr const char* kHighScoresPath = "/highscores/public/index.php?gid=3";
  static constexpr const char* kBuyMorePath = "/highscores/public/buymore.php";

  explicit PeckishAppDelegate(const platform::Options& options = {});
  ~PeckishAppDelegate() override;

  // The delegate that launched most recently (and is still alive), or null.
  static PeckishAppDelegate* current();

  void applicationDidFinishLaunching(platform::Application& app) override;
  void applicationWillResignActive(platform::Application& app) override;
  void applicationDidBecomeActive(platform::Application& app) override;
  void applicationWillTerminate(platform::Application& app) override;

  // One of the pickup lines at random: random() mod 14.
  void playRandomPickupLine();
  // Logs "scores" / "buy", loads the page into the panel, titles it and lays it over the game.
  void showScores();
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

  // Keys (see above).
  bool keyDown(const platform::KeyEvent& e) override;

 private:
  void runFirstScene(platform::Application& app);

  platform::Options options_;
  SoundEffectManager* sfx_ = nullptr;
  BackgroundSoundManager* snd_ = nullptr;
  std::vector<std::string> pickupLines_;
  Ref<WebPage> webPage_;
  Ref<platform::View> currentView_;
  Ref<Autoplay> bot_;
  std::string lastPickupLine_;
  bool launched_ = false;
  bool terminated_ = false;
  bool userPaused_ = false;
};

}  // namespace peckish
