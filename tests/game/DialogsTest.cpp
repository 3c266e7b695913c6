// Game over, restart, the name field and the score submission, against a real local server.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>

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
  // Submits the score under a name through the game layer as the field would, and waits for the
  // answer.
  void submit(const std::string& name, int score) {
    State::sharedState()->setScore(score);
    game()->setUsername(name);
    game()->saveHighScore();
    ASSERT_TRUE(awaitScoreSent());
  }

  std::unique_ptr<devserver::DevServer> server;
  std::unique_ptr<ScopedEnv> serverEnv;
};

// A server on 127.0.0.1 that takes every connection (the system completes it) and never answers.
class SilentServer {
 public:
  SilentServer() {
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    ok_ = fd_ >= 0 && ::bind(fd_, reinterpret_cast<sockaddr*>(&a), len) == 0 && ::listen(fd_, 8) == 0 &&
          ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len) == 0;
    port_ = ntohs(a.sin_port);
  }
  ~SilentServer() {
    for (int c : taken_) ::close(c);
    if (fd_ >= 0) ::close(fd_);
  }
  bool ok() const { return ok_; }
  std::string baseUrl() const { return "http://127.0.0.1:" + std::to_string(port_); }
  // Takes the next connection and reads what the client sent until it hangs up; false when no
  // connection came, or the client did not hang up, within `seconds`.
  bool nextClientHangsUpWithin(double seconds) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    auto left = [&] {
      return static_cast<int>(std::max<long long>(0, std::chrono::duration_cast<std::chrono::milliseconds>(
                                                         deadline - std::chrono::steady_clock::now())
                                                         .count()));
    };
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, left()) != 1) return false;
    const int c = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (c < 0) return false;
    taken_.push_back(c);
    char buf[4096];
    for (;;) {
      pollfd q{c, POLLIN, 0};
      if (::poll(&q, 1, left()) != 1) return false;
      const ssize_t n = ::recv(c, buf, sizeof buf, 0);
      if (n == 0) return true;
      if (n < 0) return false;
    }
  }

 private:
  int fd_ = -1;
  int port_ = 0;
  bool ok_ = false;
  std::vector<int> taken_;
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

TEST_F(DialogsTest, MainMenuLeavesThroughTheLocalTableWithThisGameHighlighted) {
  // Two earlier games on this machine, one above this one and one below.
  platform::HighScoreTable::standard().add("Ann", 900, 5);
  platform::HighScoreTable::standard().add("Bob", 100, 2);
  launch();
  playFromMenu();
  State::sharedState()->setScore(321);
  endGame();
  ASSERT_NE(alert(), nullptr);
  // The score is in the table at once, under "Player" (no name remembered), before any answer.
  const auto entries = platform::HighScoreTable::standard().entries();
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[1].name, "Player");
  EXPECT_EQ(entries[1].score, 321);
  EXPECT_EQ(entries[1].id, game()->localEntry());
  tapButton(alert(), 0);
  EXPECT_EQ(alertCount(), 0);
  settle();
  ASSERT_NE(scoresLayer(), nullptr);
  EXPECT_EQ(scoresLayer()->highlightedRow(), 1);
  EXPECT_EQ(shownName(1), "Player");
  EXPECT_TRUE(openedURLs().empty());
  key(platform::Key::Escape);
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
  // The game's entry keeps the name it went in under.
  ASSERT_EQ(platform::HighScoreTable::standard().entries().size(), 1u);
  EXPECT_EQ(platform::HighScoreTable::standard().entries()[0].name, "Player");
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
  ASSERT_TRUE(awaitScoreSent());
  const auto rows = server->store().scores();
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].player.size(), 256u);
  EXPECT_EQ(alertCount(), 0);
}

TEST_F(DialogsTest, ANameIsStoredSubmittedRenamesTheLocalEntryAndLeadsToTheLocalTable) {
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
  ASSERT_TRUE(awaitScoreSent());
  const auto rows = server->store().scores();
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].gid, 3);
  EXPECT_EQ(rows[0].player, "Ann");
  EXPECT_EQ(rows[0].score, score);
  EXPECT_TRUE(log.contains("Payload: gid=3&player=Ann&score=" + std::to_string(score)));
  EXPECT_TRUE(log.contains("Response: OK"));
  // The local table, this game's entry renamed and highlighted; no browser.
  EXPECT_TRUE(openedURLs().empty());
  EXPECT_EQ(actions.back(), "scores");
  settle();
  ASSERT_NE(scoresLayer(), nullptr);
  EXPECT_EQ(scoresLayer()->highlightedRow(), 0);
  EXPECT_EQ(shownName(0), "Ann");
  ASSERT_EQ(platform::HighScoreTable::standard().entries().size(), 1u);
  EXPECT_EQ(platform::HighScoreTable::standard().entries()[0].name, "Ann");
  EXPECT_EQ(app->currentView(), nullptr);
}

TEST_F(DialogsTest, TheStoredNameComesBackAfterARestart) {
  gameOver();
  tapButton(alert(), 1);
  type("Ann");
  key(platform::Key::Return);
  ASSERT_TRUE(awaitScoreSent());
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
  ASSERT_TRUE(awaitScoreSent());
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
  ASSERT_TRUE(awaitScoreSent());
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

TEST_F(DialogsTest, AScoreNeverAnsweredLeavesTheGameDrawingUntilEscapeOrTheEndOfTheApplication) {
  SilentServer silent;
  ASSERT_TRUE(silent.ok());
  ScopedEnv there("PECKISH_HIGHSCORE_URL", silent.baseUrl());
  for (const bool quit : {false, true}) {
    SCOPED_TRACE(quit ? "the application ends" : "Escape");
    gameOver();
    State::sharedState()->setScore(4321);
    tapButton(alert(), 1);
    type("Ann");
    LogCapture log;
    const auto sent = std::chrono::steady_clock::now();
    key(platform::Key::Return);
    // The key comes straight back (not after the 30 s time-out) with the wait shown over the game.
    EXPECT_LT(std::chrono::steady_clock::now() - sent, std::chrono::milliseconds(500));
    ASSERT_EQ(alertCount(), 1);
    EXPECT_EQ(alert()->title(), "Sending...");
    // Frames are drawn and presented while the server keeps silent.
    platform::Display* display = platform::Display::shared();
    const auto presented = display->presentedFrames();
    for (int i = 0; i < 10; ++i) {
      frame(0.05);
      platform::RunLoop::main().runOnce(0.0);
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_EQ(display->presentedFrames() - presented, 10u);
    ASSERT_EQ(alertCount(), 1);
    EXPECT_EQ(alert()->title(), "Sending...");

    const auto ended = std::chrono::steady_clock::now();
    if (quit) {
      platform::Application::sharedApplication()->terminate();
    } else {
      key(platform::Key::Escape);
      // The game-over dialog again: the score and the name wait for another try.
      ASSERT_EQ(alertCount(), 1);
      EXPECT_EQ(alert()->title(), "Game Over!");
      EXPECT_EQ(State::sharedState()->score(), 4321);
      EXPECT_EQ(platform::UserDefaults::standard().stringForKey("username"), "Ann");
    }
    EXPECT_LT(std::chrono::steady_clock::now() - ended, std::chrono::milliseconds(500));
    // The exchange is given up at once: the server sees the client hang up.
    EXPECT_TRUE(silent.nextClientHangsUpWithin(1.0));
    for (int i = 0; i < 5; ++i) {
      frame(0.05);
      platform::RunLoop::main().runOnce(0.0);
    }
    EXPECT_EQ(log.count("No response data!"), 0);
    EXPECT_TRUE(openedURLs().empty());
    if (!quit) {
      ASSERT_EQ(alertCount(), 1);
      tapButton(alert(), 1);  // Send Score once more
      ASSERT_NE(ui::TextField::current(), nullptr);
      EXPECT_EQ(ui::TextField::current()->text(), "Ann");
    }
    platform::Application::sharedApplication()->setDelegate(nullptr);
    app.reset();
    resetEngine();
  }
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
  EXPECT_TRUE(openedURLs().empty());
  EXPECT_EQ(actions.back(), "scores");
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
