// Game over, restart, the name field and the score submission, against a real local server.
#include <gtest/gtest.h>

#include "ShellTestSupport.h"
#include "core/Log.h"
#include "devserver/DevServer.h"
#include "devserver/Store.h"
#include "game/ScoreSubmission.h"
#include "game/WebPage.h"

namespace peckish::test {
namespace {

class DialogsTest : public ShellTest {
 protected:
  void SetUp() override {
    ShellTest::SetUp();
    server = std::make_unique<devserver::DevServer>(devserver::ServerOptions{});
    server->start();
    serverEnv = std::make_unique<ScopedEnv>("PECKISH_HIGHSCORE_URL", server->baseUrl());
  }
  void TearDown() override {
    ShellTest::TearDown();
    serverEnv.reset();
    server.reset();
  }
  // A game over, ready for its dialog.
  void gameOver() {
    launch();
    playFromMenu();
    endGame();
    ASSERT_NE(alert(), nullptr);
  }
  // Submits the score under a name through the game layer as the field would.
  void submit(const std::string& name, int score) {
    State::sharedState()->setScore(score);
    game()->setUsername(name);
    game()->saveHighScore();
  }

  std::unique_ptr<devserver::DevServer> server;
  std::unique_ptr<ScopedEnv> serverEnv;
};

TEST(ScorePayload, NamesOfLettersAndDigitsGoOutUnchanged) {
  EXPECT_EQ(scorePayload("Ann", 1234), "gid=3&player=Ann&score=1234");
  EXPECT_EQ(scorePayload("Ann", 0), "gid=3&player=Ann&score=0");
  EXPECT_EQ(scorePayload("", 57), "gid=3&player=&score=57");
  EXPECT_EQ(scorePayload("R2D2", 7), "gid=3&player=R2D2&score=7");
}

TEST(ScorePayload, AnyNameStaysOneField) {
  const std::string body = scorePayload("x&score=99999", 5);
  EXPECT_EQ(body, "gid=3&player=x%26score%3D99999&score=5");
  EXPECT_EQ(scorePayload("Zo\xC3\xAB K", 1), "gid=3&player=Zo%C3%AB%20K&score=1");
}

TEST_F(DialogsTest, GameOverShowsTheScoreWithMainMenuAndSendScore) {
  launch();
  playFromMenu();
  State::sharedState()->setScore(321);
  endGame();
  ASSERT_EQ(alertCount(), 1);
  EXPECT_EQ(alert()->title(), "Game Over!");
  EXPECT_EQ(alert()->message(), "Your final score is 321");
  ASSERT_EQ(alert()->numberOfButtons(), 2);
  EXPECT_EQ(alert()->buttonTitleAtIndex(0), "Main Menu");
  EXPECT_EQ(alert()->buttonTitleAtIndex(1), "Send Score");
  EXPECT_EQ(alert()->cancelButtonIndex(), -1);
  // The clock has stopped for good; the Director is not paused.
  EXPECT_FALSE(director->isPaused());
  frames(10, 0.1);
  EXPECT_EQ(State::sharedState()->time(), 0.0);
  EXPECT_EQ(alertCount(), 1);
  // Escape has no cancel button to press here; the game's own Escape does not get through.
  key(platform::Key::Escape);
  EXPECT_EQ(alertCount(), 1);
  EXPECT_FALSE(director->isPaused());
}

TEST_F(DialogsTest, MainMenuLeavesForTheMenu) {
  gameOver();
  tapButton(alert(), 0);
  EXPECT_EQ(alertCount(), 0);
  settle();
  EXPECT_NE(menuLayer(), nullptr);
}

TEST_F(DialogsTest, SendScoreBringsUpTheEmptyFieldForANewPlayer) {
  gameOver();
  tapButton(alert(), 1);
  auto* field = ui::TextField::current();
  ASSERT_NE(field, nullptr);
  EXPECT_EQ(field, game()->highScoreTextField());
  EXPECT_EQ(field->superview(), director);
  EXPECT_EQ(field->text(), "");
  EXPECT_EQ(field->placeholder(), "Enter Your Name");
  EXPECT_EQ(field->fontName(), "Verdana");
  EXPECT_EQ(field->fontSize(), 24.f);
  EXPECT_EQ(field->textAlignment(), 1);
  EXPECT_EQ(field->backgroundColor()[3], 0.5f);
  EXPECT_EQ(field->textColor()[0], 1.f);
  EXPECT_EQ(field->transform(), 1.571f);
  // In landscape the field lies across the upper half of the screen, 240 x 30.
  const CGRect r = field->sceneRect();
  EXPECT_NEAR(r.origin.x, 109.f, 0.1f);
  EXPECT_NEAR(r.origin.y, 165.f, 0.1f);
  EXPECT_NEAR(r.size.width, 240.f, 0.1f);
  EXPECT_NEAR(r.size.height, 30.f, 0.1f);
  // No longer a name than the server takes; how to finish, just under the field.
  EXPECT_EQ(field->maxBytes(), kMaxPlayerNameBytes);
  EXPECT_EQ(field->hint(), "Return sends your score, Escape cancels");
  const CGRect hint = field->hintRect();
  EXPECT_GT(hint.size.width, 0.f);
  EXPECT_LE(hint.origin.y + hint.size.height, r.origin.y);
  EXPECT_GE(hint.origin.y, 0.f);
}

TEST_F(DialogsTest, EscapeTakesTheFieldAwayAndSendsNothing) {
  gameOver();
  tapButton(alert(), 1);
  type("Bob");
  LogCapture log;
  key(platform::Key::Escape);
  EXPECT_EQ(ui::TextField::current(), nullptr);
  EXPECT_EQ(static_cast<ui::TextField*>(game()->highScoreTextField())->superview(), nullptr);
  EXPECT_FALSE(platform::UserDefaults::standard().stringForKey("username").has_value());
  EXPECT_TRUE(server->store().scores().empty());
  EXPECT_FALSE(log.contains("Payload: gid=3&player=Bob&score=" + std::to_string(State::sharedState()->score())));
  EXPECT_EQ(alertCount(), 0);
  // Back on the stopped game screen; the restart dialog is the way on.
  frames(3, 0.1);
  ASSERT_NE(game(), nullptr);
  key(platform::Key::Escape);
  ASSERT_EQ(alertCount(), 1);
  EXPECT_EQ(alert()->title(), "Restart?");
}

TEST_F(DialogsTest, TheFieldTakesNoLongerANameThanTheServerDoes) {
  gameOver();
  tapButton(alert(), 1);
  const std::string euro = "\xE2\x82\xAC";  // three bytes of UTF-8
  type(std::string(250, 'A'));
  type(euro + euro + euro);
  ASSERT_NE(ui::TextField::current(), nullptr);
  EXPECT_EQ(ui::TextField::current()->text(), std::string(250, 'A') + euro + euro);  // 256 bytes
  key(platform::Key::Return);
  const auto rows = server->store().scores();
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].player.size(), 256u);
  EXPECT_EQ(alertCount(), 0);
}

TEST_F(DialogsTest, ANameIsStoredSubmittedAndLeadsToTheHighScorePage) {
  gameOver();
  const int score = State::sharedState()->score();
  tapButton(alert(), 1);
  type("Ann");
  type("e");
  key(platform::Key::Backspace);
  LogCapture log;
  key(platform::Key::Return);
  EXPECT_EQ(ui::TextField::current(), nullptr);
  EXPECT_EQ(static_cast<ui::TextField*>(game()->highScoreTextField())->superview(), nullptr);
  EXPECT_EQ(platform::UserDefaults::standard().stringForKey("username"), "Ann");
  const auto rows = server->store().scores();
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].gid, 3);
  EXPECT_EQ(rows[0].player, "Ann");
  EXPECT_EQ(rows[0].score, score);
  EXPECT_TRUE(log.contains("Payload: gid=3&player=Ann&score=" + std::to_string(score)));
  EXPECT_TRUE(log.contains("Response: OK"));
  // The menu with the high-score page over it.
  ASSERT_FALSE(openedURLs().empty());
  EXPECT_EQ(openedURLs().back(), server->baseUrl() + "/highscores/public/index.php?gid=3");
  EXPECT_EQ(app->currentView(), app->webPage());
  EXPECT_EQ(actions.back(), "scores");
  settle();
  EXPECT_NE(menuLayer(), nullptr);
  EXPECT_EQ(app->currentView(), app->webPage());
}

TEST_F(DialogsTest, TheStoredNameComesBackAfterARestart) {
  gameOver();
  tapButton(alert(), 1);
  type("Ann");
  key(platform::Key::Return);
  ASSERT_EQ(server->store().scores().size(), 1u);

  // A new start of the application with the same config folder.
  app.reset();
  resetEngine();
  platform::UserDefaults::standard().reload();
  gameOver();
  EXPECT_EQ(game()->username(), "Ann");
  tapButton(alert(), 1);
  ASSERT_NE(ui::TextField::current(), nullptr);
  EXPECT_EQ(ui::TextField::current()->text(), "Ann");
}

TEST_F(DialogsTest, AnEmptyNameIsStoredAndSentAsAnEmptyField) {
  gameOver();
  State::sharedState()->setScore(42);
  tapButton(alert(), 1);
  LogCapture log;
  key(platform::Key::Return);
  EXPECT_EQ(platform::UserDefaults::standard().stringForKey("username"), "");
  EXPECT_TRUE(log.contains("Payload: gid=3&player=&score=42"));
  const auto rows = server->store().scores();
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].player, "");
}

TEST_F(DialogsTest, NamesThatLookLikeFieldsOrLeaveAsciiArriveIntact) {
  gameOver();
  submit("x&score=99999", 5);
  submit("Zo\xC3\xAB \xE9\xB6\x8F=1%", 6);
  const auto rows = server->store().scores();
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].player, "x&score=99999");
  EXPECT_EQ(rows[0].score, 5);
  EXPECT_EQ(rows[1].player, "Zo\xC3\xAB \xE9\xB6\x8F=1%");
  EXPECT_EQ(rows[1].score, 6);
  EXPECT_EQ(alertCount(), 1);  // only the game-over alert: both went through
}

TEST_F(DialogsTest, NoServerGivesTheErrorAlertExactlyOnce) {
  ScopedEnv nowhere("PECKISH_HIGHSCORE_URL", "http://127.0.0.1:1");
  gameOver();
  tapButton(alert(), 1);
  type("Ann");
  LogCapture log;
  key(platform::Key::Return);
  EXPECT_EQ(log.count("No response data!"), 1);
  for (const std::string& line : log.lines()) EXPECT_NE(line.rfind("Response: ", 0), 0u) << line;
  ASSERT_EQ(alertCount(), 1);
  ui::AlertView* error = alert();
  EXPECT_EQ(error, game()->errorAlert());
  EXPECT_EQ(error->title(), "Error");
  EXPECT_EQ(error->message(), "Sorry, couldn't save your high score!  Perhaps you don't have connectivity :(");
  ASSERT_EQ(error->numberOfButtons(), 1);
  EXPECT_EQ(error->buttonTitleAtIndex(0), "CONTINUE");
  EXPECT_EQ(error->cancelButtonIndex(), 0);
  EXPECT_TRUE(openedURLs().empty());
  // CONTINUE returns to the stopped game screen.
  key(platform::Key::Escape);
  EXPECT_EQ(alertCount(), 0);
  frames(5, 0.1);
  ASSERT_NE(game(), nullptr);
  EXPECT_EQ(State::sharedState()->time(), 0.0);
  EXPECT_EQ(log.count("No response data!"), 1);
}

TEST_F(DialogsTest, AnEmptyAnswerOrARefusalIsAFailureAndAnyOtherAnswerASuccess) {
  gameOver();
  server->setFault(devserver::FaultMode::Empty);
  LogCapture log;
  submit("Ann", 10);
  EXPECT_EQ(log.count("No response data!"), 1);
  ASSERT_NE(alert(), nullptr);
  EXPECT_EQ(alert()->title(), "Error");
  tapButton(alert(), 0);
  // A refusal (400 with a text body, here for a name longer than the server takes): the same
  // alert, the status and the server's words in the log, the score still on the board.
  server->setFault(devserver::FaultMode::None);
  submit(std::string(300, 'n'), 10);
  EXPECT_EQ(log.count("No response data!"), 1);
  int refusals = 0;
  for (const std::string& line : log.lines())
    refusals += line.rfind("Response: 400 bad request: player name too long", 0) == 0;
  EXPECT_EQ(refusals, 1);
  ASSERT_EQ(alertCount(), 2);  // over the game-over alert
  EXPECT_EQ(alert(), game()->errorAlert());
  EXPECT_EQ(alert()->message(), "Sorry, couldn't save your high score!  Perhaps you don't have connectivity :(");
  EXPECT_TRUE(openedURLs().empty());
  EXPECT_EQ(State::sharedState()->score(), 10);
  EXPECT_TRUE(server->store().scores().empty());
  tapButton(alert(), 0);
  // An error page with a 2xx status still counts as saved.
  server->setFault(devserver::FaultMode::Html);
  submit("Ann", 10);
  EXPECT_EQ(log.count("No response data!"), 1);
  bool answered = false;
  for (const std::string& line : log.lines()) answered = answered || line.rfind("Response: <!DOCTYPE", 0) == 0;
  EXPECT_TRUE(answered);
  ASSERT_FALSE(openedURLs().empty());
}

TEST_F(DialogsTest, RestartNoResumesWithTheClockWhereItStood) {
  launch();
  playFromMenu();
  frames(20, 0.1);
  State::sharedState()->setTime(75.5);
  key(platform::Key::Escape);  // the reset button's dialog
  EXPECT_TRUE(director->isPaused());
  ASSERT_EQ(alertCount(), 1);
  EXPECT_EQ(alert()->title(), "Restart?");
  EXPECT_EQ(alert()->message(), "Are you sure your want to restart the game?");
  ASSERT_EQ(alert()->numberOfButtons(), 3);
  EXPECT_EQ(alert()->buttonTitleAtIndex(0), "Yes");
  EXPECT_EQ(alert()->buttonTitleAtIndex(1), "No");
  EXPECT_EQ(alert()->buttonTitleAtIndex(2), "Menu");
  frames(30, 0.1);
  EXPECT_EQ(State::sharedState()->time(), 75.5);
  // A second Escape answers "No".
  key(platform::Key::Escape);
  EXPECT_EQ(alertCount(), 0);
  EXPECT_FALSE(director->isPaused());
  frame(0.25);
  EXPECT_NEAR(State::sharedState()->time(), 75.25, 1e-9);
}

TEST_F(DialogsTest, RestartYesStartsLevelOneWithTwoMinutes) {
  launch();
  playFromMenu();
  GameNode* first = game();
  State::sharedState()->setScore(500);
  State::sharedState()->setCurrentLevel(4);
  State::sharedState()->setTime(30.0);
  first->restartGameDialog();
  tapButton(alert(), 0);
  EXPECT_FALSE(director->isPaused());
  EXPECT_EQ(State::sharedState()->score(), 0);
  EXPECT_EQ(State::sharedState()->currentLevel(), 1);
  EXPECT_EQ(State::sharedState()->time(), 120.0);
  frames(12, 0.05);  // the half-second fade; the new game's clock runs from its start
  ASSERT_NE(game(), nullptr);
  EXPECT_NE(game(), first);
  EXPECT_EQ(State::sharedState()->currentLevel(), 1);
  EXPECT_GT(State::sharedState()->time(), 119.0 - 12 * 0.05 - 1e-9);
}

TEST_F(DialogsTest, RestartMenuGoesToTheMenu) {
  launch();
  playFromMenu();
  game()->restartGameDialog();
  tapButton(alert(), 2);
  EXPECT_FALSE(director->isPaused());
  settle();
  EXPECT_NE(menuLayer(), nullptr);
}

TEST_F(DialogsTest, TheRestartDialogOpensOnceAlsoAfterTheGameEnded) {
  gameOver();
  tapButton(alert(), 1);  // Send Score: the field is up
  game()->restartGameDialog();
  game()->restartGameDialog();
  EXPECT_EQ(alertCount(), 1);
  // Yes takes the field away with the old game.
  tapButton(alert(), 0);
  EXPECT_EQ(ui::TextField::current(), nullptr);
  settle(1.0);
  ASSERT_NE(game(), nullptr);
  EXPECT_EQ(State::sharedState()->currentLevel(), 1);
}

TEST_F(DialogsTest, AFingerOnTheGameDoesNotReachItBehindADialog) {
  launch();
  playFromMenu();
  game()->restartGameDialog();
  const int before = State::sharedState()->score();
  // Taps on the dimmed screen outside the buttons are swallowed by the alert.
  tap(20, 20);
  tap(460, 300);
  EXPECT_EQ(alertCount(), 1);
  EXPECT_EQ(State::sharedState()->score(), before);
}

}  // namespace
}  // namespace peckish::test
