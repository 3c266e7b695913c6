#pragma once
// Helpers of the shell, menu and dialog tests: the application delegate launched for real on a
// fresh Director, Scheduler, State and fake clock; a private data folder (user defaults) per test;
// analytics start, stop and logged actions recorded instead of sent; frames driven by hand; taps
// through the Director's window (so dialogs get them first); keys through the display's listeners;
// characters placed in chosen holes of the running game.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "audio/AudioMute.h"
#include "engine/render/Label.h"
#include "engine/scene/Director.h"
#include "engine/scene/Scene.h"
#include "engine/scene/Scheduler.h"
#include "engine/transitions/Transition.h"
#include "game/GameNode.h"
#include "game/GameServices.h"
#include "game/HighScoresLayer.h"
#include "game/MainMenu.h"
#include "game/PeckishAppDelegate.h"
#include "game/Positions.h"
#include "game/Sprites.h"
#include "game/State.h"
#include "platform/Application.h"
#include "platform/Display.h"
#include "platform/HighScoreTable.h"
#include "platform/RunLoop.h"
#include "platform/UserDefaults.h"
#include "platform/Window.h"
#include "ui/AlertView.h"
#include "ui/Overlay.h"
#include "ui/TextField.h"

namespace peckish::test {

// Sets an environment variable for the life of the object.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::string& value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old, had_ = true;
    ::setenv(name, value.c_str(), 1);
  }
  ~ScopedEnv() {
    if (had_) ::setenv(name_, old_.c_str(), 1);
    else ::unsetenv(name_);
  }

 private:
  const char* name_;
  std::string old_;
  bool had_ = false;
};

class ShellTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/peckish-shell-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    dataDir = pattern;
    dataEnv = std::make_unique<ScopedEnv>("PECKISH_DATA_DIR", dataDir);
    platform::UserDefaults::standard().reload();
    platform::HighScoreTable::standard().reload();
    resetEngine();
    previousStart = PeckishAppDelegate::setAnalyticsStart([this] { journal.push_back("analytics start"); });
    previousStop = PeckishAppDelegate::setAnalyticsStop([this] { journal.push_back("analytics stop"); });
    previousLog = setLogAnalyticsActionHook([this](const std::string& a) { actions.push_back(a); });
    setAudioMuted(false);
  }

  void TearDown() override {
    platform::Application::sharedApplication()->setDelegate(nullptr);
    app.reset();
    resetEngine();
    Director::setPixelFormat(0);
    PeckishAppDelegate::setAnalyticsStart(previousStart);
    PeckishAppDelegate::setAnalyticsStop(previousStop);
    setLogAnalyticsActionHook(previousLog);
    setAudioMuted(false);
    dataEnv.reset();
    platform::UserDefaults::standard().reload();
    std::error_code ec;
    std::filesystem::remove_all(dataDir, ec);
  }

  void resetEngine() {
    Director::purgeShared();
    Scheduler::purgeShared();
    State::purgeShared();
    platform::RunLoop::main().reset();
    platform::RunLoop::main().setClock(&clock);
    platform::Application::sharedApplication()->reset();
  }

  // A new delegate launched as the application would launch it; frames are then driven by hand.
  void launch(platform::Options options = {}) {
    app = std::make_unique<PeckishAppDelegate>(options);
    platform::Application& application = *platform::Application::sharedApplication();
    application.setDelegate(app.get());
    app->applicationDidFinishLaunching(application);
    director = Director::sharedDirector();
    ASSERT_NE(director, nullptr) << "no headless GL surface";
    director->stopAnimation();
    application.becomeActive();
    frame(0);
  }

  void frame(double dt) {
    clock.advance(dt);
    director->drawScene();
  }
  void frames(int n, double dt) {
    for (int i = 0; i < n; ++i) frame(dt);
  }
  // Lets a pending scene change and its transition finish.
  void settle(double seconds = 1.5) { frames(static_cast<int>(seconds / 0.05) + 2, 0.05); }

  // A tap (down and up) at a landscape scene point, through the Director's window.
  void tap(float x, float y) {
    platform::Window* w = director->window();
    platform::Touch t;
    t.id = 7;
    t.location = CGPointMake(y, x);
    t.previousLocation = t.location;
    w->sendTouches(platform::TouchPhase::Began, {t});
    w->sendTouches(platform::TouchPhase::Ended, {t});
  }
  void tapButton(ui::AlertView* alert, int index) {
    const CGRect r = alert->buttonRect(index);
    tap(r.origin.x + r.size.width / 2, r.origin.y + r.size.height / 2);
  }
  // A key pressed and released through the display's listeners.
  void key(platform::Key k) {
    platform::Display* d = platform::Display::shared();
    d->injectKey(true, k);
    d->injectKey(false, k);
    d->pumpEvents();
  }
  // A key given by its key code (letters in lower case, keypad keys), pressed and released: where
  // the key sits, or for a letter where a US keyboard has it.
  void keyCode(int code, platform::Scancode at = platform::Scancode::Unknown) {
    if (at == platform::Scancode::Unknown && code >= 'a' && code <= 'z')
      at = static_cast<platform::Scancode>(static_cast<int>(platform::Scancode::A) + (code - 'a'));
    platform::Display* d = platform::Display::shared();
    d->injectKey(true, platform::Key::Other, code, false, at);
    d->injectKey(false, platform::Key::Other, code, false, at);
    d->pumpEvents();
  }
  // Takes every character off the board of the running game (those spawned so far included).
  void clearBoard() {
    std::vector<Node*> characters;
    for (const auto& e : game()->children())
      if (dynamic_cast<CharacterSprite*>(e.node.get())) characters.push_back(e.node.get());
    for (Node* c : characters) game()->remove(c);
  }
  // A character standing fully risen in a hole of the running game, as a spawn would leave it.
  template <class T>
  T* place(int hole) {
    Ref<T> c = T::node();
    c->setPosition(Positions::pos(static_cast<unsigned>(hole)));
    c->setGridPosition(hole);
    c->setScale(hole < 3 ? 1.0f : hole < 6 ? 0.8f : 0.6f);
    game()->add(c, 9 - hole);
    return c.get();
  }
  // A point inside a character's hit box (its lower-left quarter), as a scene point.
  static CGPoint inside(const CharacterSprite* c) {
    const Vec2 p = c->position();
    const float w = c->scale() * 100.f;
    return CGPointMake(p.x - 50.f + w * 0.25f, p.y + w * 0.25f);
  }
  // Text typed into whatever has the keyboard.
  void type(const std::string& text) {
    ui::Widget* w = ui::keyWidget();
    ASSERT_NE(w, nullptr) << "nothing takes the keyboard";
    w->textInput(text);
  }

  GameNode* game() const { return PeckishAppDelegate::runningGame(); }
  MainMenu* menuLayer() const {
    Scene* s = director->runningScene();
    if (!s) return nullptr;
    for (const auto& e : s->children())
      if (auto* m = dynamic_cast<MainMenu*>(e.node.get())) return m;
    return nullptr;
  }
  // The high-score table kept on the machine, when it is the running scene.
  static HighScoresLayer* scoresLayer() { return HighScoresLayer::running(); }
  // The name shown in a row of that table.
  static std::string shownName(int row) { return scoresLayer()->rows().at(static_cast<size_t>(row)).at(1)->string(); }
  static ui::AlertView* alert() { return ui::AlertView::frontmost(); }
  static int alertCount() { return static_cast<int>(ui::AlertView::visibleAlerts().size()); }
  std::vector<std::string> openedURLs() const { return platform::Application::sharedApplication()->openedURLs(); }

  // Starts a game from the menu's Play and lets the fade finish.
  void playFromMenu() {
    ASSERT_NE(menuLayer(), nullptr);
    menuLayer()->play();
    settle();
    ASSERT_NE(game(), nullptr);
  }
  // Turns the run loop (wall clock, up to `seconds`) until the score on its way has come back to
  // the game; false when it did not.
  bool awaitScoreSent(double seconds = 20.0) {
    Ref<GameNode> sending(game());
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (sending && sending->isSendingScore()) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
      platform::RunLoop::main().runOnce(0.0);
    }
    return true;
  }
  // Runs the game's clock out.
  void endGame() {
    State::sharedState()->setTime(0.01);
    frame(0.05);
  }

  platform::FakeClock clock;
  std::string dataDir;
  std::unique_ptr<ScopedEnv> dataEnv;
  std::unique_ptr<PeckishAppDelegate> app;
  Director* director = nullptr;
  std::vector<std::string> journal;
  std::vector<std::string> actions;
  std::function<void()> previousStart, previousStop;
  std::function<void(const std::string&)> previousLog;
};

}  // namespace peckish::test
