// The whole loop, headless, against the local server: launch, menu, Play, a game played by the
// bot, game over, Send Score, a name, the stored score and the high-score page; then a second
// start of the application offering the same name.
#include <gtest/gtest.h>

#include "ShellTestSupport.h"
#include "devserver/DevServer.h"
#include "devserver/Store.h"
#include "engine/menu/Menu.h"
#include "engine/menu/MenuItem.h"
#include "game/WebPage.h"

namespace peckish::test {
namespace {

class ShellEndToEndTest : public ShellTest {
 protected:
  // One frame of the application: the frame itself, then what the run loop has queued (the bot
  // posts its taps there, between frames, like a real finger).
  void turn(double dt) {
    frame(dt);
    platform::RunLoop::main().runOnce(0.0);
  }
  void tapMenuItem(int index) {
    Menu* menu = menuLayer()->menu();
    const Vec2 p = menu->children().at(static_cast<size_t>(index)).node->position();
    tap(p.x, p.y);
  }
};

TEST_F(ShellEndToEndTest, AGameFromTheMenuToTheHighScoreTable) {
  devserver::DevServer server{devserver::ServerOptions{}};
  server.start();
  ScopedEnv scores("PECKISH_HIGHSCORE_URL", server.baseUrl());

  platform::Options options;
  options.autoplay = true;
  options.seed = 7;
  launch(options);
  ASSERT_NE(menuLayer(), nullptr);
  tapMenuItem(0);  // Play
  // Two minutes of game clock and a little more, at ten frames a second.
  int frames = 0;
  while (!alert() && frames < 2000) {
    turn(0.1);
    ++frames;
  }
  ASSERT_NE(alert(), nullptr) << "the game did not end";
  EXPECT_EQ(alert()->title(), "Game Over!");
  const int score = State::sharedState()->score();
  EXPECT_GT(score, 0);
  EXPECT_EQ(alert()->message(), "Your final score is " + std::to_string(score));

  tapButton(alert(), 1);  // Send Score
  ASSERT_NE(ui::TextField::current(), nullptr);
  EXPECT_EQ(ui::TextField::current()->text(), "");
  type("Ann");
  key(platform::Key::Return);
  ASSERT_TRUE(awaitScoreSent());

  const auto rows = server.store().scores();
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].player, "Ann");
  EXPECT_EQ(rows[0].gid, 3);
  EXPECT_EQ(rows[0].score, score);
  // The local table with the game under the name sent; the online one only on its button.
  EXPECT_TRUE(openedURLs().empty());
  for (int i = 0; i < 20; ++i) turn(0.1);
  ASSERT_NE(scoresLayer(), nullptr);
  ASSERT_EQ(scoresLayer()->highlightedRow(), 0);
  EXPECT_EQ(shownName(0), "Ann");
  EXPECT_EQ(scoresLayer()->rows()[0][2]->string(), std::to_string(score));
  scoresLayer()->online();
  ASSERT_FALSE(openedURLs().empty());
  EXPECT_EQ(openedURLs().back(), server.baseUrl() + "/highscores/public/index.php?gid=3");
  EXPECT_EQ(app->currentView(), app->webPage());
  key(platform::Key::Escape);  // Back
  EXPECT_EQ(app->currentView(), nullptr);
  key(platform::Key::Escape);  // and from the table to the menu
  for (int i = 0; i < 20; ++i) turn(0.1);
  EXPECT_NE(menuLayer(), nullptr);

  // The next start of the application offers the name that was sent.
  platform::Application::sharedApplication()->terminate();
  platform::Application::sharedApplication()->setDelegate(nullptr);
  app.reset();
  resetEngine();
  platform::UserDefaults::standard().reload();
  launch();
  tapMenuItem(0);
  for (int i = 0; i < 15; ++i) turn(0.1);
  ASSERT_NE(game(), nullptr);
  State::sharedState()->setTime(0.01);
  turn(0.1);
  ASSERT_NE(alert(), nullptr);
  tapButton(alert(), 1);
  ASSERT_NE(ui::TextField::current(), nullptr);
  EXPECT_EQ(ui::TextField::current()->text(), "Ann");
}

}  // namespace
}  // namespace peckish::test
