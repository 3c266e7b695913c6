// The main menu: its items, what they do, and the e-mail invitation.
#include <gtest/gtest.h>

#include "ShellTestSupport.h"
#include "engine/menu/Menu.h"
#include "engine/menu/MenuItem.h"
#include "engine/render/Label.h"
#include "game/WebPage.h"
#include "platform/Config.h"
#include "platform/TextRaster.h"
#include "ui/NavigationBar.h"
#include "ui/WebView.h"

namespace peckish::test {
namespace {

class MainMenuTest : public ShellTest {
 protected:
  void SetUp() override {
    ShellTest::SetUp();
    base = std::make_unique<ScopedEnv>("PECKISH_HIGHSCORE_URL", "http://scores.example:8080/");
  }
  void TearDown() override {
    ShellTest::TearDown();
    base.reset();
  }
  MenuItem* item(int index) {
    Menu* m = menuLayer()->menu();
    return dynamic_cast<MenuItem*>(m->children().at(static_cast<size_t>(index)).node.get());
  }
  // Taps an item where the player would, through the window.
  void tapItem(int index) {
    const Vec2 p = item(index)->position();
    tap(p.x, p.y);
  }
  std::unique_ptr<ScopedEnv> base;
};

TEST_F(MainMenuTest, SixItemsInAColumn) {
  launch();
  ASSERT_NE(menuLayer(), nullptr);
  const char* texts[] = {"Play", "High Scores", "Instructions", "Tell a Friend", "Buy More", "Settings"};
  const float ys[] = {213, 186, 159, 132, 105, 78};
  ASSERT_EQ(menuLayer()->menu()->children().size(), 6u);
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(item(i)->label()->string(), texts[i]);
    EXPECT_EQ(item(i)->position().x, 240.f) << texts[i];
    EXPECT_EQ(item(i)->position().y, ys[i]) << texts[i];
  }
  EXPECT_EQ(MenuItem::fontName(), "Marker Felt");
  EXPECT_EQ(MenuItem::fontSize(), 20);
}

TEST_F(MainMenuTest, PlayFadesToANewGameAtLevelOne) {
  launch();
  tapItem(0);
  EXPECT_NE(dynamic_cast<FadeTransition*>(director->nextScene()), nullptr);
  settle();
  ASSERT_NE(game(), nullptr);
  EXPECT_EQ(State::sharedState()->currentLevel(), 1);
  EXPECT_EQ(actions, std::vector<std::string>{"startGame"});
}

TEST_F(MainMenuTest, HighScoresShowsTheLocalTableAndOpensTheOnlineOneOnlyOnItsButton) {
  // Two games already played on this machine.
  platform::HighScoreTable::standard().add("Ann", 900, 5);
  platform::HighScoreTable::standard().add("Zo\xC3\xAB", 1200, 6);
  launch();
  tapItem(1);
  EXPECT_EQ(actions, std::vector<std::string>{"scores"});
  settle();
  ASSERT_NE(scoresLayer(), nullptr);
  EXPECT_TRUE(openedURLs().empty());
  ASSERT_EQ(scoresLayer()->rows().size(), 2u);
  EXPECT_EQ(shownName(0), "Zo\xC3\xAB");
  EXPECT_EQ(scoresLayer()->rows()[0][2]->string(), "1200");
  EXPECT_EQ(shownName(1), "Ann");
  EXPECT_EQ(scoresLayer()->highlightedRow(), -1);
  // The online table: its button, through the window, opens the page as the menu item used to.
  Menu* buttons = scoresLayer()->menu();
  ASSERT_EQ(buttons->children().size(), 2u);
  const Vec2 online = buttons->children()[0].node->position();
  tap(online.x, online.y);
  ASSERT_EQ(openedURLs().size(), 1u);
  EXPECT_EQ(openedURLs()[0], "http://scores.example:8080/highscores/public/index.php?gid=3");
  EXPECT_EQ(app->currentView(), app->webPage());
  EXPECT_EQ(app->webPage()->titleItem()->title(), "High Scores");
  EXPECT_EQ(app->webPage()->webView()->statusText(), "The page is open in your web browser.");
  key(platform::Key::Escape);  // the page's Back
  EXPECT_EQ(app->currentView(), nullptr);
  ASSERT_NE(scoresLayer(), nullptr);
  // Escape on the table: back to the menu, which answers again.
  key(platform::Key::Escape);
  settle();
  EXPECT_EQ(scoresLayer(), nullptr);
  ASSERT_NE(menuLayer(), nullptr);
  tapItem(0);
  EXPECT_NE(director->nextScene(), nullptr);
  EXPECT_EQ(openedURLs().size(), 1u);
}

TEST(HighScoresLayerTest, LongNamesAreCutToFitWithAnEllipsis) {
  auto repeat = [](const std::string& s, int n) {
    std::string out;
    for (int i = 0; i < n; ++i) out += s;
    return out;
  };
  struct Case {
    std::string name;
    size_t unit;  // bytes of each character
    bool whole;
  } cases[] = {{"Ann", 1, true}, {std::string(256, 'W'), 1, false}, {repeat("\xC3\xA9", 128), 2, false},
               {repeat("\xE2\x82\xAC", 85), 3, false}};
  for (const Case& c : cases) {
    const std::string shown = HighScoresLayer::fitName(c.name, 200.f, "Marker Felt", 16.f);
    if (c.whole) {
      EXPECT_EQ(shown, c.name);
      continue;
    }
    ASSERT_GE(shown.size(), 4u) << c.name;
    const size_t kept = shown.size() - 3;
    EXPECT_EQ(shown.substr(kept), "\xE2\x80\xA6") << c.name;
    EXPECT_EQ(kept % c.unit, 0u) << "cut inside a character: " << c.name;
    EXPECT_EQ(c.name.compare(0, kept, shown, 0, kept), 0) << c.name;
    EXPECT_LE(platform::measureString(shown, "Marker Felt", 16.f).width, 200.f) << c.name;
  }
}

TEST_F(MainMenuTest, BuyMoreOpensTheBuyPage) {
  launch();
  tapItem(4);
  EXPECT_EQ(actions, std::vector<std::string>{"buy"});
  ASSERT_EQ(openedURLs().size(), 1u);
  EXPECT_EQ(openedURLs()[0], "http://scores.example:8080/highscores/public/buymore.php");
  EXPECT_EQ(app->webPage()->titleItem()->title(), "Buy More");
  // Showing the other page while one is up replaces it.
  app->showOnlineScores();
  EXPECT_EQ(app->webPage()->titleItem()->title(), "High Scores");
  app->switchBack();
  EXPECT_EQ(app->currentView(), nullptr);
}

TEST_F(MainMenuTest, InstructionsShowTheRulesWithOneOK) {
  launch();
  tapItem(2);
  ASSERT_EQ(alertCount(), 1);
  EXPECT_EQ(alert()->title(), "Instructions");
  EXPECT_EQ(alert()->message(),
            "You have 2 minutes to hit as many roosters as your can.  You get bonus points for hitting roosters "
            "consecutively without missing. You get 2 extra seconds and double points for hitting 2 at once. If you "
            "hit a chicken you will lose 10% of your score.");
  ASSERT_EQ(alert()->numberOfButtons(), 1);
  EXPECT_EQ(alert()->buttonTitleAtIndex(0), "OK");
  EXPECT_EQ(actions, std::vector<std::string>{"instruct"});
  // The menu is behind the alert: tapping Play does nothing; OK only closes it.
  tapItem(0);
  EXPECT_EQ(director->nextScene(), nullptr);
  key(platform::Key::Return);
  EXPECT_EQ(alertCount(), 0);
  tapItem(2);
  EXPECT_EQ(actions, (std::vector<std::string>{"instruct", "instruct"}));
  tapButton(alert(), 0);
  EXPECT_EQ(alertCount(), 0);
}

TEST_F(MainMenuTest, TellAFriendOpensAValidMailtoAddress) {
  ScopedEnv product("PECKISH_PRODUCT_URL", "http://peckish.example/game?from=mail&lang=en");
  launch();
  tapItem(3);
  EXPECT_EQ(actions, std::vector<std::string>{"tell"});
  ASSERT_EQ(openedURLs().size(), 1u);
  const std::string url = openedURLs()[0];
  const std::string subject = "mailto:?subject=";
  ASSERT_EQ(url.rfind(subject, 0), 0u);
  EXPECT_EQ(url.compare(subject.size(), 14, "Check%20out%20"), 0) << url;
  const size_t body = url.find("&body=");
  ASSERT_NE(body, std::string::npos);
  EXPECT_EQ(url.substr(subject.size(), body - subject.size()),
            "Check%20out%20PECKISH%20the%20funniest%20game%20on%20the%20iPhone!");
  const std::string text = url.substr(body + 6);
  EXPECT_NE(text.find("yourself!%0A%0AIts%20so%20funny!%0A%0A"), std::string::npos) << text;
  // The product page's own '&' and '=' cannot split the mail's fields.
  EXPECT_NE(text.find("game?from%3Dmail%26lang%3Den"), std::string::npos) << text;
  EXPECT_EQ(url.find('&', body + 1), std::string::npos);
  EXPECT_EQ(url.find(' '), std::string::npos);
  EXPECT_EQ(url.find('\n'), std::string::npos);
}

TEST(EscapeURLText, EscapesWhatAMailProgramCannotTakeLiterally) {
  EXPECT_EQ(escapeURLText("a b\nc"), "a%20b%0Ac");
  EXPECT_EQ(escapeURLText("don't, you'll!"), "don't,%20you'll!");
  EXPECT_EQ(escapeURLText("x&y=z"), "x%26y%3Dz");
  EXPECT_EQ(escapeURLText("100% #1 \"q\" <b>"), "100%25%20%231%20%22q%22%20%3Cb%3E");
  EXPECT_EQ(escapeURLText("http://h:1/p?q"), "http://h:1/p?q");
  EXPECT_EQ(escapeURLText("Zo\xC3\xAB"), "Zo%C3%AB");
}

TEST_F(MainMenuTest, ReturningFromAGameBuildsAFreshMenu) {
  launch();
  Ref<MainMenu> first(menuLayer());
  playFromMenu();
  game()->menu();
  settle();
  ASSERT_NE(menuLayer(), nullptr);
  EXPECT_NE(menuLayer(), first.get());
}

}  // namespace
}  // namespace peckish::test
