// The score submission against a high-score server that misbehaves: refused, silent for a while,
// empty, garbage, endless and trickling answers. The answer takes as long as the one exchange (on a
// worker, "Sending..." over the game meanwhile), the game shows at most one error alert, keeps the
// score and the name, and draws on afterwards.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <ostream>
#include <string>

#include "ShellTestSupport.h"
#include "core/Log.h"
#include "devserver/DevServer.h"
#include "devserver/Store.h"
#include "platform/Http.h"

namespace peckish::test {
namespace {

enum class Outcome { Saved, Error };

struct ScoreFault {
  const char* name;
  devserver::FaultMode mode;
  bool refused;
  Outcome outcome;
  bool stored;  // the server keeps the score
};

void PrintTo(const ScoreFault& f, std::ostream* os) { *os << f.name; }

class ScoreServerFaultsTest : public ShellTest, public ::testing::WithParamInterface<ScoreFault> {
 protected:
  void SetUp() override {
    ShellTest::SetUp();
    devserver::ServerOptions options;
    options.stallSeconds = 1.5;         // the real server's stall (35 s) outlasts the 30 s time-out
    options.trickleInterval = 0.05;
    options.hugeBytes = std::size_t{1} << 30;  // far beyond what the game may read
    server = std::make_unique<devserver::DevServer>(options);
    server->start();
    const std::string url = GetParam().refused ? std::string("http://127.0.0.1:1") : server->baseUrl();
    serverEnv = std::make_unique<ScopedEnv>("PECKISH_HIGHSCORE_URL", url);
  }
  void TearDown() override {
    ShellTest::TearDown();
    serverEnv.reset();
    server.reset();
  }

  std::unique_ptr<devserver::DevServer> server;
  std::unique_ptr<ScopedEnv> serverEnv;
};

TEST_P(ScoreServerFaultsTest, OneWaitAtMostOneAlertNothingLost) {
  const ScoreFault& f = GetParam();
  launch();
  playFromMenu();
  State::sharedState()->setScore(4321);
  endGame();
  ASSERT_EQ(alertCount(), 1);
  server->setFault(f.mode);

  tapButton(alert(), 1);  // Send Score
  type("Ann");
  LogCapture log;
  const auto t0 = std::chrono::steady_clock::now();
  key(platform::Key::Return);
  ASSERT_EQ(alertCount(), 1);
  EXPECT_EQ(alert(), game()->sendingAlert());
  ASSERT_TRUE(awaitScoreSent());
  const auto waited = std::chrono::steady_clock::now() - t0;

  // The answer takes as long as the exchange itself: about the stall for the silent server, next
  // to nothing for the others (an endless answer is cut off, not read to its end).
  EXPECT_LT(waited, std::chrono::seconds(f.mode == devserver::FaultMode::Stall ? 8 : 5));
  if (f.mode == devserver::FaultMode::Stall) {
    EXPECT_GE(waited, std::chrono::milliseconds(1400));
  }
  EXPECT_EQ(log.count("Payload: gid=3&player=Ann&score=4321"), 1);

  // The name is remembered and the score stays on the board whatever happened.
  EXPECT_EQ(platform::UserDefaults::standard().stringForKey("username"), "Ann");
  EXPECT_EQ(State::sharedState()->score(), 4321);
  const auto rows = server->store().scores();
  if (f.stored) {
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].player, "Ann");
    EXPECT_EQ(rows[0].score, 4321);
  } else {
    EXPECT_TRUE(rows.empty());
  }

  if (f.outcome == Outcome::Error) {
    EXPECT_EQ(log.count("No response data!"), 1);
    EXPECT_FALSE(log.contains("Response: "));
    ASSERT_EQ(alertCount(), 1);
    EXPECT_EQ(alert(), game()->errorAlert());
    EXPECT_TRUE(openedURLs().empty());
    // The game screen is drawn on behind the alert, and CONTINUE leaves it there.
    frames(5, 0.1);
    EXPECT_EQ(alertCount(), 1);
    tapButton(alert(), 0);
    EXPECT_EQ(alertCount(), 0);
    frames(5, 0.1);
    ASSERT_NE(game(), nullptr);
    EXPECT_EQ(State::sharedState()->score(), 4321);
  } else {
    EXPECT_EQ(log.count("No response data!"), 0);
    int responses = 0;
    for (const std::string& line : log.lines()) responses += line.rfind("Response: ", 0) == 0;
    EXPECT_EQ(responses, 1);
    EXPECT_EQ(alertCount(), 0);
    settle();
    EXPECT_EQ(game(), nullptr);  // on to the local high-score table, no browser
    EXPECT_NE(scoresLayer(), nullptr);
    EXPECT_TRUE(openedURLs().empty());
  }
  EXPECT_EQ(log.count("No response data!"), f.outcome == Outcome::Error ? 1 : 0);
}

// Garbage, star and an HTML error page are non-empty answers: the game counts them as saved, as
// its submission only looks for a body. The server kept nothing in those modes.
INSTANTIATE_TEST_SUITE_P(
    Faults, ScoreServerFaultsTest,
    ::testing::Values(ScoreFault{"refused", devserver::FaultMode::None, true, Outcome::Error, false},
                      ScoreFault{"empty", devserver::FaultMode::Empty, false, Outcome::Error, false},
                      ScoreFault{"huge", devserver::FaultMode::Huge, false, Outcome::Error, false},
                      ScoreFault{"garbage", devserver::FaultMode::Garbage, false, Outcome::Saved, false},
                      ScoreFault{"html", devserver::FaultMode::Html, false, Outcome::Saved, false},
                      ScoreFault{"stall", devserver::FaultMode::Stall, false, Outcome::Saved, true},
                      ScoreFault{"trickle", devserver::FaultMode::Trickle, false, Outcome::Saved, true}),
    [](const ::testing::TestParamInfo<ScoreFault>& info) { return std::string(info.param.name); });

// A server silent for longer than the time-out: the exchange gives up at the time-out with an
// empty body, which the submission turns into its error alert (the refused case above).
TEST(ScoreExchangeTimeOut, ASilentServerIsGivenUpAtTheTimeOutWithAnEmptyBody) {
  devserver::ServerOptions options;
  options.stallSeconds = 30.0;
  options.fault = devserver::FaultMode::Stall;
  devserver::DevServer server(options);
  server.start();
  platform::HttpRequest request;
  request.method = "POST";
  request.url = server.baseUrl() + "/highscores/public/save.php";
  request.headers.emplace_back("Content-Type", "application/x-www-form-urlencoded");
  request.body = "gid=3&player=Ann&score=1";
  request.timeoutSeconds = 1.0;
  const auto t0 = std::chrono::steady_clock::now();
  const platform::HttpResponse response = platform::httpSend(request);
  const auto waited = std::chrono::steady_clock::now() - t0;
  EXPECT_FALSE(response.ok);
  EXPECT_TRUE(response.timedOut);
  EXPECT_TRUE(response.body.empty());
  EXPECT_GE(waited, std::chrono::milliseconds(900));
  EXPECT_LT(waited, std::chrono::seconds(4));
}

}  // namespace
}  // namespace peckish::test
