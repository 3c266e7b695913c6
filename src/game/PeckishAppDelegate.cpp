#include "game/PeckishAppDelegate.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <optional>
#include <utility>

#include "analytics/Analytics.h"
#include "audio/AudioMute.h"
#include "audio/BackgroundSoundManager.h"
#include "audio/SoundEffectManager.h"
#include "core/Log.h"
#include "demos/Demos.h"
#include "engine/scene/Director.h"
#include "engine/scene/Scene.h"
#include "engine/transitions/Transition.h"
#include "engine/transitions/TransitionRegistry.h"
#include "game/Autoplay.h"
#include "game/GameNode.h"
#include "game/GameServices.h"
#include "game/HighScoresLayer.h"
#include "game/KeyboardPlay.h"
#include "game/MainMenu.h"
#include "game/PadPlay.h"
#include "game/PickupLines.h"
#include "game/SettingsScreen.h"
#include "game/SoundSettings.h"
#include "game/WebPage.h"
#include "platform/Config.h"
#include "platform/RunLoop.h"
#include "platform/Settings.h"
#include "platform/Window.h"
#include "ui/AlertView.h"
#include "ui/Banner.h"
#include "ui/Overlay.h"

namespace peckish {
namespace {
PeckishAppDelegate* gCurrent = nullptr;

std::function<void()>& analyticsStart() {
  static std::function<void()> f = [] { analytics::startForApplication(); };
  return f;
}
std::function<void()>& analyticsStop() {
  static std::function<void()> f = [] { analytics::stopForApplication(); };
  return f;
}

// The music manager if it is up; never tries the sound device again.
BackgroundSoundManager* music() {
  return BackgroundSoundManager::exists() ? BackgroundSoundManager::shared() : nullptr;
}

// The question about sharing: what would leave the machine, where to, and that it can be undone.
constexpr const char* kConsentTitle = "Share play statistics?";
std::string consentMessage() {
  return "Peckish can send the names of your play events (a game started, a page opened), your locale, your "
         "system and machine type and a random number made for this installation to " +
         platform::analyticsHost() +
         ". Never your name, your scores, your location or any file. You can change this at any time in the "
         "settings.";
}
constexpr int kShareButton = 0;
// How long the main menu shows before the question comes over it.
constexpr double kAskDelay = 0.5;

// The run's own decision, which a remembered answer does not change.
std::optional<bool> runDecides(const platform::Options& options) {
  if (options.analytics) return *options.analytics;
  if (platform::doNotTrack() || options.headless || options.autoplay) return false;
  return std::nullopt;
}

// The main menu is the running scene and no scene change is under way.
bool mainMenuShowing() {
  if (!Director::exists()) return false;
  Director* director = Director::sharedDirector();
  Scene* scene = director->runningScene();
  if (!scene || director->nextScene()) return false;
  for (const auto& e : scene->children())
    if (dynamic_cast<MainMenu*>(e.node.get())) return true;
  return false;
}

std::string pageAddress(const char* path) {
  std::string base = platform::highScoreBaseUrl();
  while (!base.empty() && base.back() == '/') base.pop_back();
  return base + path;
}
}  // namespace

const std::vector<std::string>& PeckishAppDelegate::pickupLineNames() {
  static const std::vector<std::string> names = [] {
    std::vector<std::string> files;
    for (const PickupLine& line : pickupLineTable()) files.push_back(line.file);
    return files;
  }();
  return names;
}

double PeckishAppDelegate::frameInterval(const platform::Options& options) {
  if (options.fixedDt > 0.0) return options.fixedDt;
  if (options.fps > 0) return 1.0 / options.fps;
  const double rate = platform::Screen::mainScreen().refreshRate();
  return 1.0 / (rate > 0.0 ? rate : 60.0);
}

PeckishAppDelegate::PeckishAppDelegate(const platform::Options& options) : options_(options) {}

PeckishAppDelegate::~PeckishAppDelegate() {
  if (bot_) bot_->stop();
  if (askTimer_) platform::RunLoop::main().invalidateTimer(askTimer_);
  if (consentAlert_) {
    consentAlert_->setDelegate({});
    if (consentAlert_->isVisible()) consentAlert_->removeFromSuperview();
  }
  // On the way out: the banner and the touch block go, the music stays held.
  if (userPaused_) liftPlayerPause(false);
  if (settings_) settings_->setClosedCall({});
  if (platform::Display* d = platform::Display::shared()) {
    d->removeKeyListener(this);
    d->setSettingsObserver({});
  }
  if (gCurrent == this) {
    gCurrent = nullptr;
    setPlayRandomPickupLineHook({});
  }
}

PeckishAppDelegate* PeckishAppDelegate::current() { return gCurrent; }

std::uint32_t PeckishAppDelegate::gameSeed(const platform::Options& options) {
  if (options.seed) return *options.seed;
  return static_cast<std::uint32_t>(std::time(nullptr)) + static_cast<std::uint32_t>(::getpid());
}

std::function<void()> PeckishAppDelegate::setAnalyticsStart(std::function<void()> start) {
  return std::exchange(analyticsStart(), std::move(start));
}

std::function<void()> PeckishAppDelegate::setAnalyticsStop(std::function<void()> stop) {
  return std::exchange(analyticsStop(), std::move(stop));
}

PeckishAppDelegate::AnalyticsChoice PeckishAppDelegate::analyticsChoice(const platform::Options& options) {
  std::optional<bool> share = runDecides(options);
  if (!share) share = platform::rememberedAnalyticsConsent();
  if (!share) return AnalyticsChoice::Undecided;
  return *share ? AnalyticsChoice::Share : AnalyticsChoice::DontShare;
}

void PeckishAppDelegate::startAnalytics() {
  if (analyticsRunning_ || terminated_) return;
  analyticsRunning_ = true;
  if (analyticsStart()) analyticsStart()();
}

void PeckishAppDelegate::setAnalyticsConsent(bool share) {
  if (askTimer_) platform::RunLoop::main().invalidateTimer(std::exchange(askTimer_, 0));
  platform::rememberAnalyticsConsent(share);
  if (share) {
    if (runDecides(options_).value_or(true)) startAnalytics();
    return;
  }
  if (std::exchange(analyticsRunning_, false) && analyticsStop()) analyticsStop()();
  analytics::withdrawForApplication();
}

void PeckishAppDelegate::askAnalyticsConsent() {
  if (consentAlert_ && consentAlert_->isVisible()) return;
  consentAlert_ = ui::AlertView::create(kConsentTitle, consentMessage(),
                                        ui::AlertView::Delegate(this, &PeckishAppDelegate::consentAnswered));
  consentAlert_->addButtonWithTitle("Share");
  // Last, so Return (the highlighted button) declines as Escape does.
  consentAlert_->setCancelButtonIndex(consentAlert_->addButtonWithTitle("Don't share"));
  consentAlert_->show();
}

void PeckishAppDelegate::consentAnswered(Object*, int button) { setAnalyticsConsent(button == kShareButton); }

void PeckishAppDelegate::askWhenTheMenuShows() {
  platform::RunLoop& loop = platform::RunLoop::main();
  loop.invalidateTimer(std::exchange(askTimer_, 0));
  if (terminated_) return;
  // Never over a game (its clock would run on behind the question), a page, the settings or a dialog: the
  // question waits until the menu is back on its own.
  if (!mainMenuShowing() || currentView_ || settings_ || ui::isModalShown()) {
    askTimer_ = loop.addTimer(kAskDelay, false, Callback<void()>(this, &PeckishAppDelegate::askWhenTheMenuShows));
    return;
  }
  askAnalyticsConsent();
}

void PeckishAppDelegate::applicationDidFinishLaunching(platform::Application& app) {
  gCurrent = this;
  launched_ = true;
  // 1-2. Analytics, only with consent: credentials, then the analysis without location tracking.
  if (analyticsChoice(options_) == AnalyticsChoice::Share) startAnalytics();
  // The game's named actions go to the analytics client unless something else already takes them.
  if (auto previous = setLogAnalyticsActionHook([](const std::string& a) { analytics::logAction(a); })) {
    setLogAnalyticsActionHook(std::move(previous));
  }
  // 3-4. The Director: 32-bit surface, landscape, several touches at once.
  if (!Director::exists()) Director::setPixelFormat(1);
  Director* director = Director::sharedDirector();
  if (!director) {
    std::fprintf(stderr, "peckish: cannot create the GL view\n");
    app.terminate();
    return;
  }
  director->setLandscape(true);
  director->setMultipleTouchEnabled(true);
  // Render at the window's own resolution, and move at the display's pace.
  director->setFollowsScreenScale(true);
  director->setAnimationInterval(frameInterval(options_));
  if (options_.mute) setAudioMuted(true);
  setReducedMotion(platform::rememberedReducedMotion());
  applyRememberedSoundSettings();
  // 5-6. Effects and pickup lines.
  sfx_ = SoundEffectManager::sharedManager();
  sfx_->addSound("GameOver.caf");
  sfx_->addSound("Hit.caf");
  sfx_->addSound("Miss.caf");
  pickupLines_ = pickupLineNames();
  for (const std::string& line : pickupLines_) sfx_->addSound(line, SoundGroup::Voices);
  // 7. Both generators; the game draws only from random().
  seed_ = gameSeed(options_);
  std::srand(seed_);
  ::srandom(seed_);
  // 8. Music.
  snd_ = BackgroundSoundManager::sharedManager();
  // 9. The web-page panel, over the application frame.
  webPage_ = WebPage::initWithFrame(platform::Screen::mainScreen().applicationFrame());
  // 10. The first scene.
  setPlayRandomPickupLineHook([this] { playRandomPickupLine(); });
  if (platform::Display* d = platform::Display::shared()) {
    d->addKeyListener(this);
    // Dialogs, then the front screen's menu, are asked before the game's own keys.
    ui::claimKeyboard();
    // The player's window settings are remembered for the next start whenever they change.
    // Only what changed is written: a scale given on the command line stays this run's own.
    d->setSettingsObserver([this, d, fullscreen = d->fullscreen(), scale = d->scale()]() mutable {
      if (d->fullscreen() != fullscreen) platform::rememberFullscreen(fullscreen = d->fullscreen());
      if (d->scale() != scale) platform::rememberScale(scale = d->scale());
      if (settings_) settings_->refresh();
    });
  }
  runFirstScene(app);
}

void PeckishAppDelegate::runFirstScene(platform::Application& app) {
  Director* director = Director::sharedDirector();
  Ref<Scene> first;
  if (!options_.demo.empty()) {
    first = demoScene(options_.demo);
    if (!first) {
      std::fprintf(stderr, "peckish: no demo named '%s' (try: %s)\n", options_.demo.c_str(), demoNames().c_str());
      app.terminate();
      return;
    }
  } else {
    if (options_.autoplay) bot_ = Autoplay::start(seed_);
    first = options_.play ? gameNode() : mainMenu();
  }
  director->runScene(first);
  ui::ensureOverlay();
  // Not decided yet: asked over the first main menu in a real window; anywhere else it stays off.
  const platform::Display* display = platform::Display::shared();
  if (analyticsChoice(options_) == AnalyticsChoice::Undecided && !options_.play && options_.demo.empty() && display &&
      !display->headless())
    askTimer_ = platform::RunLoop::main().addTimer(kAskDelay, false,
                                                   Callback<void()>(this, &PeckishAppDelegate::askWhenTheMenuShows));
}

void PeckishAppDelegate::applicationWillResignActive(platform::Application&) {
  if (!Director::exists()) return;
  Director* director = Director::sharedDirector();
  // A pause already in place (the restart dialog's, the player's) is not the focus's to lift.
  if (director->isPaused()) return;
  director->pause();
  focusPaused_ = true;
}

void PeckishAppDelegate::applicationDidBecomeActive(platform::Application&) {
  if (!std::exchange(focusPaused_, false) || !Director::exists()) return;
  // Someone else's pause may have come meanwhile; it outlasts the focus.
  if (userPaused_) return;
  if (GameNode* game = runningGame())
    if (auto* restart = dynamic_cast<ui::AlertView*>(game->restartAlert()); restart && restart->isVisible()) return;
  Director::sharedDirector()->resume();
}

void PeckishAppDelegate::applicationWillTerminate(platform::Application&) {
  if (terminated_) return;
  terminated_ = true;
  if (std::exchange(analyticsRunning_, false) && analyticsStop()) analyticsStop()();
}

void PeckishAppDelegate::playRandomPickupLine() {
  if (pickupLines_.empty() || !sfx_) return;
  const unsigned long i = static_cast<unsigned long>(::random()) % pickupLines_.size();
  lastPickupLine_ = pickupLines_[i];
  speakPickupLine(lastPickupLine_);
}

void PeckishAppDelegate::showScores(const std::string& highlight) {
  logAnalyticsAction("scores");
  if (Director::exists())
    Director::sharedDirector()->replaceScene(sceneTransition("FadeTransition", 0.5, highScoresScene(highlight)));
}

void PeckishAppDelegate::showOnlineScores() {
  if (!webPage_) return;
  webPage_->loadURL(pageAddress(kHighScoresPath));
  webPage_->setTitle("High Scores");
  switchTo(webPage_.get());
}

void PeckishAppDelegate::showBuyMore() {
  logAnalyticsAction("buy");
  if (!webPage_) return;
  webPage_->loadURL(pageAddress(kBuyMorePath));
  webPage_->setTitle("Buy More");
  switchTo(webPage_.get());
}

void PeckishAppDelegate::switchTo(platform::View* view) {
  if (!view || !Director::exists()) return;
  Ref<platform::View> keep(view);
  platform::Window* window = Director::sharedDirector()->window();
  if (!window) return;
  window->resignKeyWindow();
  if (currentView_) {
    currentView_->removeFromSuperview();
    currentView_ = nullptr;
  }
  currentView_ = keep;
  window->addSubview(view);
  window->makeKeyAndVisible();
  ui::ensureOverlay();
  ui::claimKeyboard();
}

void PeckishAppDelegate::switchBack() {
  if (!currentView_) return;
  currentView_->removeFromSuperview();
  currentView_ = nullptr;
}

GameNode* PeckishAppDelegate::runningGame() {
  if (!Director::exists()) return nullptr;
  Scene* scene = Director::sharedDirector()->runningScene();
  if (!scene) return nullptr;
  for (const auto& e : scene->children())
    if (auto* game = dynamic_cast<GameNode*>(e.node.get())) return game;
  return nullptr;
}

bool PeckishAppDelegate::keyDown(const platform::KeyEvent& e) {
  using platform::Key;
  if (e.pad && padPlayKey(runningGame(), e)) return true;
  if (e.repeat || e.ctrl || e.alt) return false;
  if (settings_ && e.key != Key::M) return false;
  // In a game the letter block only taps, whatever letter the layout types with its keys.
  if (inLetterBlock(e)) {
    if (GameNode* game = runningGame()) {
      tapHole(game, holeForKey(e));
      return true;
    }
  }
  switch (e.key) {
    case Key::M:
      platform::rememberMute(toggleAudioMuted());
      if (settings_) settings_->refresh();
      return true;
    case Key::P:
      if (!Director::exists() || ui::isModalShown()) return false;
      if (userPaused_) {
        resumeGame();
        return true;
      }
      return pauseGame();
    case Key::Escape:
      if (ui::isModalShown()) return false;
      if (HighScoresLayer* scores = HighScoresLayer::running()) {
        scores->back();
        return true;
      }
      if (GameNode* game = runningGame()) {
        Ref<GameNode> keep(game);
        // The dialog takes over the pause; the game's touches are its own again once it is answered.
        if (userPaused_) liftPlayerPause();
        game->restartGameDialog();
        return true;
      }
      return false;
    default:
      break;
  }
  if (e.code == 'o' && userPaused_ && !ui::isModalShown()) {
    showSettings();
    return true;
  }
  const int hole = holeForKey(e);
  if (hole < 0) return false;
  GameNode* game = runningGame();
  if (!game) return false;
  tapHole(game, hole);
  return true;
}

void PeckishAppDelegate::padRemoved() { pauseGame(); }

bool PeckishAppDelegate::pauseGame() {
  if (userPaused_ || !Director::exists()) return false;
  Director* d = Director::sharedDirector();
  GameNode* game = runningGame();
  // A running game: on stage, not being left, its clock going and nothing else holding it.
  if (!game || d->nextScene() || d->isPaused() || !game->isClockRunning()) return false;
  userPaused_ = true;
  d->pause();
  d->setTouchesBlocked(true);
  if (BackgroundSoundManager* m = music()) m->pause();
  if (!pauseBanner_) pauseBanner_ = ui::Banner::create("Paused", "Press P to continue, O for settings");
  pauseBanner_->show();
  return true;
}

void PeckishAppDelegate::liftPlayerPause(bool resumeMusic) {
  userPaused_ = false;
  if (Director::exists()) Director::shared()->setTouchesBlocked(false);
  if (BackgroundSoundManager* m = music(); m && resumeMusic) m->resume();
  if (pauseBanner_) pauseBanner_->dismiss();
}

void PeckishAppDelegate::resumeGame() {
  if (!userPaused_) return;
  liftPlayerPause();
  if (Director::exists()) Director::sharedDirector()->resume();
}

void PeckishAppDelegate::showSettings() {
  if (settings_ || !Director::exists() || Director::sharedDirector()->nextScene()) return;
  settings_ = SettingsScreen::open(Callback<void()>(this, &PeckishAppDelegate::settingsClosed));
  if (!settings_ || !userPaused_) return;
  // Over the player's pause: the game stays stopped underneath, the screen takes the touches.
  Director::sharedDirector()->setTouchesBlocked(false);
  if (pauseBanner_) pauseBanner_->dismiss();
}

void PeckishAppDelegate::settingsClosed() {
  settings_ = nullptr;
  if (!userPaused_) return;
  if (Director::exists()) Director::sharedDirector()->setTouchesBlocked(true);
  if (pauseBanner_) pauseBanner_->show();
}

}  // namespace peckish
