// The UI layer: alerts, the text field, the navigation bar and the web view, on a real Director.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/menu/Menu.h"
#include "engine/menu/MenuItem.h"
#include "engine/render/DisplayMetrics.h"
#include "engine/scene/Director.h"
#include "engine/scene/Layer.h"
#include "engine/scene/Scene.h"
#include "engine/scene/Scheduler.h"
#include "engine/transitions/Transition.h"
#include "platform/Application.h"
#include "platform/Display.h"
#include "platform/GLES.h"
#include "platform/RunLoop.h"
#include "platform/TextRaster.h"
#include "platform/Window.h"
#include "ui/AlertView.h"
#include "ui/NavigationBar.h"
#include "ui/Overlay.h"
#include "ui/TextImage.h"
#include "ui/TextField.h"
#include "ui/WebView.h"

namespace peckish::test {
namespace {

// Records what a delegate is told.
struct Journal : Object {
  std::vector<std::pair<Object*, int>> clicks;
  int returns = 0;
  int ends = 0;
  bool resignOnReturn = true;
  void clicked(Object* o, int i) { clicks.emplace_back(o, i); }
  bool shouldReturn(Object* o) {
    ++returns;
    if (resignOnReturn) static_cast<ui::TextField*>(o)->resignFirstResponder();
    return true;
  }
  void ended(Object*) { ++ends; }
  int cancels = 0;
  void cancelled(Object*) { ++cancels; }
};

// A layer that counts the touches reaching the game underneath.
struct GameLayer : Layer {
  GameLayer() { isTouchEnabled_ = true; }
  void touchesBegan(const platform::TouchSet&, const platform::UIEvent&) override { ++touches; }
  int touches = 0;
};

class UITest : public ::testing::Test {
 protected:
  void SetUp() override {
    Scheduler::purgeShared();
    platform::RunLoop::main().reset();
    platform::RunLoop::main().setClock(&clock);
    Director::purgeShared();
    platform::Application::sharedApplication()->reset();
    Director::setPixelFormat(1);
    director = Director::sharedDirector();
    ASSERT_NE(director, nullptr);
    director->setLandscape(true);
    journal = make<Journal>();
    scene = Scene::node();
    layer = make<GameLayer>();
    scene->add(layer);
    director->runScene(scene);
    director->stopAnimation();
    frame();
  }
  void TearDown() override {
    Director::purgeShared();
    Director::setPixelFormat(0);
    platform::Application::sharedApplication()->reset();
    Scheduler::purgeShared();
    platform::RunLoop::main().reset();
  }
  void frame(double dt = 0.05) {
    clock.advance(dt);
    director->drawScene();
  }
  void touch(platform::TouchPhase phase, float x, float y) {
    platform::Touch t;
    t.id = 3;
    t.location = CGPointMake(y, x);  // landscape scene point -> portrait view point
    t.previousLocation = t.location;
    director->window()->sendTouches(phase, {t});
  }
  void tap(float x, float y) {
    touch(platform::TouchPhase::Began, x, y);
    touch(platform::TouchPhase::Ended, x, y);
  }
  static CGPoint centre(CGRect r) { return CGPointMake(r.origin.x + r.size.width / 2, r.origin.y + r.size.height / 2); }
  void key(platform::Key k) {
    platform::Display* d = platform::Display::shared();
    d->injectKey(true, k);
    d->injectKey(false, k);
    d->pumpEvents();
  }
  Ref<ui::AlertView> alertWith(std::initializer_list<const char*> buttons, int cancel = -1) {
    auto a = ui::AlertView::create("Title", "Message", ui::AlertView::Delegate(journal.get(), &Journal::clicked));
    for (const char* b : buttons) a->addButtonWithTitle(b);
    a->setCancelButtonIndex(cancel);
    return a;
  }
  // The Director's picture at a landscape scene point, 0xRRGGBBAA.
  std::uint32_t pixel(float x, float y) {
    director->setCurrentContext();
    glBindFramebufferOES(GL_FRAMEBUFFER_OES, director->framebuffer());
    std::uint8_t p[4] = {};
    // Landscape (x, y) is the view point (y, x), which is the portrait GL point (y, 480 - x).
    glReadPixels(static_cast<GLint>(y), static_cast<GLint>(480 - x), 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p);
    return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) | p[3];
  }

  platform::FakeClock clock;
  Director* director = nullptr;
  Ref<Journal> journal;
  Ref<Scene> scene;
  Ref<GameLayer> layer;
};

TEST_F(UITest, AButtonTellsTheDelegateItsIndexThenTheAlertGoesAway) {
  auto a = alertWith({"Main Menu", "Send Score"});
  a->show();
  a->show();  // showing again changes nothing
  ASSERT_EQ(ui::AlertView::visibleAlerts().size(), 1u);
  EXPECT_EQ(a->highlightedButton(), 1);
  // Buttons side by side, in order.
  EXPECT_LT(a->buttonRect(0).origin.x, a->buttonRect(1).origin.x);
  const CGPoint p = centre(a->buttonRect(0));
  tap(p.x, p.y);
  ASSERT_EQ(journal->clicks.size(), 1u);
  EXPECT_EQ(journal->clicks[0].first, a.get());
  EXPECT_EQ(journal->clicks[0].second, 0);
  EXPECT_FALSE(a->isVisible());
  tap(p.x, p.y);  // gone: nothing more
  EXPECT_EQ(journal->clicks.size(), 1u);
}

TEST_F(UITest, ThreeButtonsStackFromTheTop) {
  auto a = alertWith({"Yes", "No", "Menu"});
  a->show();
  EXPECT_GT(a->buttonRect(0).origin.y, a->buttonRect(1).origin.y);
  EXPECT_GT(a->buttonRect(1).origin.y, a->buttonRect(2).origin.y);
  EXPECT_EQ(a->buttonAt(centre(a->buttonRect(2))), 2);
  EXPECT_EQ(a->buttonAt(CGPointMake(5, 5)), -1);
}

TEST_F(UITest, APressFollowsTheFingerAndLiftingOutsideCancels) {
  auto a = alertWith({"A", "B"});
  a->show();
  const CGPoint p0 = centre(a->buttonRect(0)), p1 = centre(a->buttonRect(1));
  touch(platform::TouchPhase::Began, p0.x, p0.y);
  touch(platform::TouchPhase::Moved, p1.x, p1.y);
  touch(platform::TouchPhase::Ended, p1.x, p1.y);
  ASSERT_EQ(journal->clicks.size(), 1u);
  EXPECT_EQ(journal->clicks[0].second, 1);
  a->show();
  touch(platform::TouchPhase::Began, p0.x, p0.y);
  touch(platform::TouchPhase::Ended, 10, 10);
  EXPECT_EQ(journal->clicks.size(), 1u);
  EXPECT_TRUE(a->isVisible());
}

TEST_F(UITest, AnAlertIsModalForTouchesButTheGameKeepsRunning) {
  tap(100, 100);
  EXPECT_EQ(layer->touches, 1);
  auto a = alertWith({"OK"});
  a->show();
  tap(100, 100);
  tap(450, 300);
  EXPECT_EQ(layer->touches, 1);
  EXPECT_FALSE(director->isPaused());
  a->dismissWithClickedButtonIndex(0);
  tap(100, 100);
  EXPECT_EQ(layer->touches, 2);
}

TEST_F(UITest, KeysPressTheLastButtonTheCancelButtonOrMoveTheHighlight) {
  auto a = alertWith({"Yes", "No", "Menu"}, 1);
  a->show();
  key(platform::Key::Escape);
  ASSERT_EQ(journal->clicks.size(), 1u);
  EXPECT_EQ(journal->clicks.back().second, 1);
  a->show();
  key(platform::Key::Return);
  EXPECT_EQ(journal->clicks.back().second, 2);
  a->show();
  key(platform::Key::Up);
  key(platform::Key::Up);
  key(platform::Key::Up);  // wraps round to the last
  key(platform::Key::Left);
  key(platform::Key::Return);
  EXPECT_EQ(journal->clicks.back().second, 1);
  // Without a cancel button Escape does nothing, and the alert keeps the keys to itself.
  auto b = alertWith({"Main Menu", "Send Score"});
  b->show();
  EXPECT_TRUE(ui::isModalShown());
  key(platform::Key::Escape);
  EXPECT_TRUE(b->isVisible());
  EXPECT_EQ(journal->clicks.size(), 3u);
}

// What a menu's items were chosen for.
struct Picks : Object {
  std::vector<std::string> made;
  void first() { made.push_back("first"); }
  void second() { made.push_back("second"); }
};

// Keys from the display steer the front menu by the same focus rules as a dialog's buttons; a
// mouse move hides the menu's highlight; a dialog over the menu takes the keys until it goes.
TEST_F(UITest, KeysSteerTheFrontMenuAndADialogOverItTakesThemFirst) {
  using platform::Key;
  Ref<Picks> picks = make<Picks>();
  Ref<Menu> menu = Menu::menuWithItems(MenuItem::itemFromString("First", picks.get(), &Picks::first),
                                       MenuItem::itemFromString("Second", picks.get(), &Picks::second));
  Ref<Scene> menuScene = Scene::node();
  menuScene->add(menu);
  director->replaceScene(menuScene);
  frame();
  frame();
  ui::claimKeyboard();  // as the game does at launch
  platform::Display* display = platform::Display::shared();

  struct Step {
    bool mouseMove;  // before the keys
    std::vector<Key> keys;
    std::vector<std::string> made;  // all picks so far
  };
  const Step steps[] = {
      {false, {Key::Return}, {}},                               // the first key only shows the highlight
      {false, {Key::Down, Key::Return}, {"second"}},            //
      {false, {Key::Tab, Key::Space}, {"second", "first"}},     // Tab wraps round, Space picks
      {true, {Key::Return}, {"second", "first"}},               // hidden by the mouse: shown again only
      {false, {Key::Return}, {"second", "first", "first"}},     //
      {false, {Key::Escape}, {"second", "first", "first"}},     // no way back from this menu
  };
  for (const Step& s : steps) {
    if (s.mouseMove) {
      display->injectMouseMotion(10, 10);
      display->pumpEvents();
    }
    for (Key k : s.keys) key(k);
    EXPECT_EQ(picks->made, s.made) << "after key " << static_cast<int>(s.keys.back());
  }

  // The dialog answers; the menu keeps its focus on "First" meanwhile.
  auto a = alertWith({"One", "Two", "Three"}, 0);
  a->show();
  key(Key::Down);  // from the last button round to the first
  key(Key::Tab);
  EXPECT_EQ(a->highlightedButton(), 1);
  platform::KeyEvent shiftTab;
  shiftTab.key = Key::Tab;
  shiftTab.shift = true;
  EXPECT_TRUE(a->keyDown(shiftTab));
  EXPECT_EQ(a->highlightedButton(), 0);
  key(Key::Down);
  key(Key::Space);
  ASSERT_EQ(journal->clicks.size(), 1u);
  EXPECT_EQ(journal->clicks.back().second, 1);
  EXPECT_FALSE(a->isVisible());
  EXPECT_EQ(picks->made.size(), 3u);
  key(Key::Return);
  EXPECT_EQ(picks->made, (std::vector<std::string>{"second", "first", "first", "first"}));
}

TEST_F(UITest, TheFrontAlertAnswersFirst) {
  auto back = alertWith({"Back"}, 0);
  auto front = alertWith({"Front"}, 0);
  back->show();
  front->show();
  EXPECT_EQ(ui::AlertView::frontmost(), front.get());
  key(platform::Key::Escape);
  EXPECT_FALSE(front->isVisible());
  EXPECT_TRUE(back->isVisible());
  EXPECT_EQ(ui::AlertView::frontmost(), back.get());
}

TEST_F(UITest, AnAlertWithoutDelegateJustCloses) {
  auto a = ui::AlertView::create("Instructions", "Rules");
  a->setCancelButtonIndex(a->addButtonWithTitle("OK"));
  a->show();
  key(platform::Key::Return);
  EXPECT_FALSE(a->isVisible());
}

TEST_F(UITest, DialogsAreDrawnOverTheSceneAlsoWhilePausedAndAcrossSceneChanges) {
  frame();
  EXPECT_EQ(pixel(240, 160), 0x000000FFu);
  auto a = alertWith({"OK"});
  a->show();
  frame();
  const std::uint32_t box = pixel(240, 200);
  EXPECT_NE(box, 0x000000FFu);
  EXPECT_NE(pixel(20, 20), box);  // the dimmed screen outside the box
  director->pause();
  frame();
  EXPECT_EQ(pixel(240, 200), box);
  director->resume();
  // A new scene, through a fade and directly: the dialog stays on top.
  director->replaceScene(FadeTransition::transitionWithDuration(0.5, Scene::node()));
  frame();
  EXPECT_EQ(pixel(240, 200), box);
  for (int i = 0; i < 15; ++i) frame();
  EXPECT_EQ(pixel(240, 200), box);
  director->replaceScene(Scene::node());
  frame();
  EXPECT_TRUE(ui::hasOverlay(director->runningScene()));
  EXPECT_EQ(pixel(240, 200), box);
  a->dismissWithClickedButtonIndex(0);
  frame();
  EXPECT_EQ(pixel(240, 200), 0x000000FFu);
}

TEST_F(UITest, TheTextFieldTypesErasesAndEndsWithReturn) {
  auto f = ui::TextField::create(CGRectMake(60, 214, 240, 30));
  f->setDelegate(ui::TextField::ShouldReturn(journal.get(), &Journal::shouldReturn),
                 ui::TextField::DidEndEditing(journal.get(), &Journal::ended));
  director->addSubview(f.get());
  EXPECT_EQ(ui::keyWidget(), nullptr);
  f->becomeFirstResponder();
  EXPECT_EQ(ui::TextField::current(), f.get());
  EXPECT_TRUE(platform::Display::shared()->textInputActive());
  ASSERT_EQ(ui::keyWidget(), f.get());
  f->textInput("Zo\xC3\xAB");
  f->textInput("\x01!");  // control characters are dropped
  EXPECT_EQ(f->text(), "Zo\xC3\xAB!");
  key(platform::Key::Backspace);
  key(platform::Key::Backspace);  // the two bytes of one character
  EXPECT_EQ(f->text(), "Zo");
  key(platform::Key::P);  // typing, not the game's pause
  EXPECT_FALSE(director->isPaused());
  key(platform::Key::Return);
  EXPECT_EQ(journal->returns, 1);
  EXPECT_EQ(journal->ends, 1);
  EXPECT_FALSE(f->isFirstResponder());
  EXPECT_FALSE(platform::Display::shared()->textInputActive());
  f->resignFirstResponder();  // not editing: no second end
  EXPECT_EQ(journal->ends, 1);
  // Leaving without telling the delegate.
  f->becomeFirstResponder();
  f->abandonEditing();
  EXPECT_EQ(journal->ends, 1);
  EXPECT_EQ(ui::TextField::current(), nullptr);
}

TEST_F(UITest, TheRotatedFieldReadsAcrossTheLandscapeScreen) {
  auto f = ui::TextField::create(CGRectMake(60, 214, 240, 30));
  f->setTransform(1.571f);
  f->setBackgroundColor(0, 0, 0, 0.5f);
  director->addSubview(f.get());
  ui::ensureOverlay();  // nothing else has put the UI layer on screen in this test
  const CGRect r = f->sceneRect();
  EXPECT_NEAR(r.origin.x, 109.f, 0.1f);
  EXPECT_NEAR(r.origin.y, 165.f, 0.1f);
  EXPECT_NEAR(r.size.width, 240.f, 0.1f);
  EXPECT_NEAR(r.size.height, 30.f, 0.1f);
  glClearColor(1, 1, 1, 1);
  frame();
  // Half-transparent black over the scene's white: mid grey inside, white outside.
  const std::uint32_t inside = pixel(120, 170);
  EXPECT_NEAR(static_cast<int>(inside >> 24), 128, 3);
  EXPECT_EQ(pixel(100, 170), 0xFFFFFFFFu);
  glClearColor(0, 0, 0, 1);
}

TEST(TextEditing, EraseLastCharacterRemovesWholeUtf8Characters) {
  std::string s = "a\xE9\xB6\x8F";
  ui::eraseLastCharacter(s);
  EXPECT_EQ(s, "a");
  ui::eraseLastCharacter(s);
  EXPECT_EQ(s, "");
  ui::eraseLastCharacter(s);
  EXPECT_EQ(s, "");
}

TEST(TextEditing, TruncationNeverCutsACharacter) {
  const std::string mixed = "a\xC3\xAB\xE2\x82\xAC\xF0\x9F\x90\x93";  // 1, 2, 3 and 4 bytes
  struct Case {
    size_t limit;
    const char* kept;
  } cases[] = {{0, ""}, {1, "a"}, {2, "a"}, {3, "a\xC3\xAB"}, {5, "a\xC3\xAB"}, {6, "a\xC3\xAB\xE2\x82\xAC"},
               {9, "a\xC3\xAB\xE2\x82\xAC"}, {10, "a\xC3\xAB\xE2\x82\xAC\xF0\x9F\x90\x93"}, {99, "a\xC3\xAB\xE2\x82\xAC\xF0\x9F\x90\x93"}};
  for (const Case& c : cases) {
    std::string s = mixed;
    ui::truncateUtf8(s, c.limit);
    EXPECT_EQ(s, c.kept) << c.limit;
  }
}

TEST_F(UITest, TheFieldKeepsToItsLimitAndEscapeCancels) {
  auto f = ui::TextField::create(CGRectMake(60, 214, 240, 30));
  f->setDelegate(ui::TextField::ShouldReturn(journal.get(), &Journal::shouldReturn),
                 ui::TextField::DidEndEditing(journal.get(), &Journal::ended),
                 ui::TextField::DidCancel(journal.get(), &Journal::cancelled));
  f->setMaxBytes(4);
  f->setText("abcdef");
  EXPECT_EQ(f->text(), "abcd");
  f->setText("ab");
  director->addSubview(f.get());
  f->becomeFirstResponder();
  f->textInput("\xC3\xAB\xC3\xAB");  // only the first fits
  EXPECT_EQ(f->text(), "ab\xC3\xAB");
  key(platform::Key::Escape);
  EXPECT_EQ(journal->cancels, 1);
  EXPECT_EQ(journal->ends, 0);
  EXPECT_EQ(journal->returns, 0);
  EXPECT_FALSE(f->isFirstResponder());
  EXPECT_FALSE(platform::Display::shared()->textInputActive());
}

TEST_F(UITest, TheNavigationBarGoesBackByTapOrEscape) {
  auto bar = ui::NavigationBar::create(CGRectMake(255, 0, 45, 480));
  bar->setDelegate(ui::NavigationBar::Delegate(journal.get(), &Journal::clicked));
  bar->setBarStyle(1);
  bar->showButtonsWithLeftTitle("Back", std::nullopt, true);
  bar->pushNavigationItem(ui::NavigationItem::initWithTitle("High Scores"), false);
  director->window()->addSubview(bar.get());
  const CGPoint back = centre(bar->leftButtonRect());
  tap(back.x, back.y);
  ASSERT_EQ(journal->clicks.size(), 1u);
  EXPECT_EQ(journal->clicks[0].second, 0);
  key(platform::Key::Escape);
  EXPECT_EQ(journal->clicks.size(), 2u);
  EXPECT_EQ(bar->rightButtonRect().size.width, 0.f);
  bar->clickButton(1);  // no right button
  EXPECT_EQ(journal->clicks.size(), 2u);
  frame();
  EXPECT_EQ(pixel(240, 250 + 45 / 2 + 10), 0x000000FFu);  // the black strip, beside the title
}

TEST_F(UITest, TheWebViewHandsThePageToTheBrowser) {
  auto view = ui::WebView::create(CGRectMake(0, 0, 255, 480));
  EXPECT_EQ(view->statusText(), "");
  EXPECT_TRUE(view->loadRequest("http://127.0.0.1:9/highscores/public/index.php?gid=3"));
  EXPECT_EQ(platform::Application::sharedApplication()->openedURLs(),
            std::vector<std::string>{"http://127.0.0.1:9/highscores/public/index.php?gid=3"});
  EXPECT_EQ(view->statusText(), "The page is open in your web browser.");
}

// A dialog's paragraph keeps every line at every content scale: rasterised at 2x, 3x or 4x the
// hinted glyphs may wrap into one line more than at one pixel a point, and the text's box must
// hold that line too. Drawn into the box, the text shows as many lines of ink as drawn unbounded.
TEST(TextImageLines, AParagraphKeepsItsLastLineAtEveryScale) {
  auto inkLines = [](const std::vector<uint8_t>& px, unsigned w, unsigned h) {
    int lines = 0;
    bool inLine = false;
    for (unsigned y = 0; y < h; ++y) {
      bool ink = false;
      for (unsigned x = 0; x < w && !ink; ++x) ink = px[size_t(y) * w + x] > 64;
      if (ink && !inLine) ++lines;
      inLine = ink;
    }
    return lines;
  };
  const std::string texts[] = {
      "You have 2 minutes to hit as many roosters as your can.  You get bonus points for hitting roosters "
      "consecutively without missing. You get 2 extra seconds and double points for hitting 2 at once. If you "
      "hit a chicken you will lose 10% of your score.",
      "Peckish can send the names of your play events (a game started, a page opened), your locale, your system "
      "and machine type and a random number made for this installation to 127.0.0.1:8765. Never your name, your "
      "scores, your location or any file. You can change this at any time in the settings."};
  for (const float scale : {1.f, 2.f, 3.f, 4.f}) {
    feedDisplayMetrics(CGRectMake(0, 0, 320, 480), true, scale);
    for (const std::string& text : texts) {
      ui::TextImage image;
      image.set(text, "Arial", 15.f, 256.f, 1);
      const CGSize box{image.size().width * scale, image.size().height * scale};
      const unsigned w = unsigned(box.width), h = unsigned(box.height);
      std::vector<uint8_t> fitted(size_t(w) * h, 0), unbounded(size_t(w) * h * 2, 0);
      platform::drawString(text, fitted.data(), w, h, box, 1, "Arial", 15.f * scale);
      platform::drawString(text, unbounded.data(), w, h * 2, CGSize{box.width, box.height * 2}, 1, "Arial",
                           15.f * scale);
      EXPECT_EQ(inkLines(fitted, w, h), inkLines(unbounded, w, h * 2)) << "scale " << scale << ": " << text;
    }
  }
  clearDisplayMetrics();
}

}  // namespace
}  // namespace peckish::test
