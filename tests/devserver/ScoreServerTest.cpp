// The high-score side: submissions, the table page, the buy-more page.
#include <fstream>

#include "ServerFixture.h"

namespace peckish::devserver::testing {
namespace {

class ScoreServer : public ServerTest {
 protected:
  void SetUp() override {
    ServerTest::SetUp();
    startServer();
  }
  std::vector<ScoreRow> stored() { return server->store().scores(); }
};

TEST_F(ScoreServer, SubmissionIsStoredAndAnsweredWithANonEmptyBody) {
  auto res = post("/highscores/public/save.php", "gid=3&player=Ann&score=1234");
  ASSERT_TRUE(res.ok) << res.error;
  EXPECT_EQ(res.status, 200);
  EXPECT_FALSE(res.body.empty());
  auto rows = stored();
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].gid, 3);
  EXPECT_EQ(rows[0].player, "Ann");
  EXPECT_EQ(rows[0].score, 1234);
  EXPECT_NEAR(static_cast<double>(rows[0].time), static_cast<double>(time(nullptr)), 5.0);

  // Score 0 and an empty name are ordinary submissions.
  EXPECT_EQ(post("/highscores/public/save.php", "gid=3&player=&score=0").status, 200);
  ASSERT_EQ(stored().size(), 2u);
  EXPECT_EQ(stored()[1].player, "");
  EXPECT_EQ(stored()[1].score, 0);
}

TEST_F(ScoreServer, TablePageListsBestFirstForItsGameWithNamesEscaped) {
  saveScore("Ann", 500);
  saveScore("<b>Bob & \"Co\"</b>", 900);
  saveScore("Cy", 700);
  saveScore("Other game", 99999, 4);
  auto page = get("/highscores/public/index.php?gid=3");
  ASSERT_EQ(page.status, 200);
  const std::string& html = page.body;
  EXPECT_EQ(html.find("<b>Bob"), std::string::npos);
  size_t bob = html.find("&lt;b&gt;Bob &amp; &quot;Co&quot;&lt;/b&gt;");
  size_t cy = html.find(">Cy<");
  size_t ann = html.find(">Ann<");
  ASSERT_NE(bob, std::string::npos) << html;
  ASSERT_NE(cy, std::string::npos);
  ASSERT_NE(ann, std::string::npos);
  EXPECT_LT(bob, cy);
  EXPECT_LT(cy, ann);
  EXPECT_EQ(html.find("Other game"), std::string::npos);
  EXPECT_EQ(html.find("99999"), std::string::npos) << "the other game's score must not be listed";
}

TEST_F(ScoreServer, EqualScoresKeepTheirArrivalOrder) {
  saveScore("First", 300);
  saveScore("Second", 300);
  auto rows = server->store().ranking(3, 10);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].player, "First");
  EXPECT_EQ(rows[1].player, "Second");
}

TEST_F(ScoreServer, EscapedNameWithFormSyntaxStaysOneField) {
  ASSERT_EQ(saveScore("x&score=99999", 10).status, 200);
  ASSERT_EQ(saveScore("a=b+c d%", 20).status, 200);
  auto rows = stored();
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].player, "x&score=99999");
  EXPECT_EQ(rows[0].score, 10);
  EXPECT_EQ(rows[1].player, "a=b+c d%");
}

TEST_F(ScoreServer, UnescapedNameThatForgesAFieldIsRefused) {
  auto res = post("/highscores/public/save.php", "gid=3&player=x&score=99999&score=10");
  EXPECT_EQ(res.status, 400);
  EXPECT_NE(res.body.find("score"), std::string::npos);
  EXPECT_TRUE(stored().empty());
}

TEST_F(ScoreServer, NonAsciiNameArrivesIntactOnPageAndInDump) {
  const std::string name = "Zo\xc3\xab \xe9\xb8\xa1\xf0\x9f\x90\x93";
  ASSERT_EQ(saveScore(name, 42).status, 200);
  ASSERT_EQ(stored().size(), 1u);
  EXPECT_EQ(stored()[0].player, name);
  EXPECT_NE(get("/highscores/public/index.php?gid=3").body.find(name), std::string::npos);
  auto dump = parseJson(get("/debug/highscores").body);
  ASSERT_TRUE(dump && dump->kind == JsonValue::Kind::Array && dump->items.size() == 1);
  EXPECT_EQ(dump->items[0].stringOr("player"), name);
  EXPECT_EQ(dump->items[0].get("score")->text, "42");
}

TEST_F(ScoreServer, MalformedSubmissionsAreRefusedWithAText) {
  const char* bodies[] = {
      "",                                   // nothing
      "gid=3&score=5",                      // no player
      "player=Ann&score=5",                 // no gid
      "gid=3&player=Ann",                   // no score
      "gid=3&player=Ann&score=",            // empty score
      "gid=3&player=Ann&score=12x",         // not a number
      "gid=3&player=Ann&score=-5",          // negative
      "gid=3&player=Ann&score=99999999999", // out of range
      "gid=three&player=Ann&score=5",       // bad game
      "gid=3&player=%FF%FE&score=5",        // not UTF-8
      "gid=3&player=A%00nn&score=5",        // NUL
      "gid=3&player=Ann%2&score=5",         // broken escape
  };
  for (const char* body : bodies) {
    auto res = post("/highscores/public/save.php", body);
    EXPECT_EQ(res.status, 400) << body;
    EXPECT_FALSE(res.body.empty()) << body;
  }
  EXPECT_EQ(saveScore(std::string(257, 'n'), 1).status, 400);
  EXPECT_TRUE(stored().empty());
}

TEST_F(ScoreServer, PagesAnswerAndTableNeedsAGame) {
  auto empty = get("/highscores/public/index.php?gid=3");
  EXPECT_EQ(empty.status, 200);
  EXPECT_NE(empty.body.find("No scores yet"), std::string::npos);
  EXPECT_EQ(get("/highscores/public/index.php").status, 400);
  EXPECT_EQ(get("/highscores/public/index.php?gid=x").status, 400);
  auto buy = get("/highscores/public/buymore.php");
  EXPECT_EQ(buy.status, 200);
  EXPECT_NE(buy.body.find("Peckish"), std::string::npos);
  EXPECT_EQ(get("/").status, 200);
}

TEST_F(ScoreServer, ClearEmptiesTheTables) {
  saveScore("Ann", 1);
  ASSERT_EQ(post("/debug/clear", "").status, 200);
  EXPECT_TRUE(stored().empty());
}

TEST(ScoreServerFile, ScoresSurviveARestartAndTheFolderIsCreated) {
  TempDir dir;
  ServerOptions options;
  options.secret = kSecret;
  options.db = (dir.path() / "not" / "yet" / "there.sqlite").string();
  {
    DevServer first(options);
    first.start();
    platform::HttpRequest req;
    req.method = "POST";
    req.url = first.baseUrl() + "/highscores/public/save.php";
    req.body = "gid=3&player=Ann&score=77";
    ASSERT_EQ(platform::httpSend(req).status, 200);
  }
  DevServer second(options);
  auto rows = second.store().scores();
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].player, "Ann");
}

TEST(ScoreServerFile, UnusableDatabaseOrBusyPortIsReportedAtStart) {
  TempDir dir;
  auto junk = dir.path() / "junk.sqlite";
  std::ofstream(junk) << std::string(4096, 'x');
  ServerOptions options;
  options.secret = kSecret;
  options.db = junk.string();
  EXPECT_THROW(DevServer{options}, std::runtime_error);

  options.db = ":memory:";
  DevServer first(options);
  first.start();
  options.port = first.port();
  DevServer second(options);
  EXPECT_THROW(second.start(), std::runtime_error);
}

}  // namespace
}  // namespace peckish::devserver::testing
