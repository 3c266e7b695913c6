// What a client sees of each fault mode, on both the score and the analytics endpoint.
#include <chrono>

#include "ServerFixture.h"

namespace peckish::devserver::testing {
namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

class FaultModes : public ServerTest {
 protected:
  void SetUp() override {
    ServerTest::SetUp();
    startServer();
  }
  platform::HttpResponse saveAnn(double timeout = 5.0) {
    return post("/highscores/public/save.php", "gid=3&player=Ann&score=1", timeout);
  }
  platform::HttpResponse uploadOne(double timeout = 5.0) {
    return post("/servlet/KEY", encodeUploadBody(envelope({actionRecord("S", "1", "x")}), kSecret), timeout);
  }
  bool nothingStored() { return server->store().scores().empty() && server->store().events().empty(); }
};

TEST_F(FaultModes, ModeIsSwitchedAtRunTimeAndUnknownModesAreRefused) {
  EXPECT_EQ(get("/debug/fault").body, "none\n");
  setFault("star");
  EXPECT_EQ(server->fault(), FaultMode::Star);
  EXPECT_EQ(get("/debug/fault").body, "star\n");
  auto bad = post("/debug/fault?mode=sometimes", "");
  EXPECT_EQ(bad.status, 400);
  EXPECT_NE(bad.body.find("trickle"), std::string::npos) << "lists the known modes";
  EXPECT_EQ(server->fault(), FaultMode::Star);
  setFault("none");
  EXPECT_EQ(saveAnn().body, "OK");
}

TEST_F(FaultModes, PagesAndDebugEndpointsAreNeverFaulty) {
  setFault("empty");
  EXPECT_FALSE(get("/highscores/public/index.php?gid=3").body.empty());
  EXPECT_FALSE(get("/highscores/public/buymore.php").body.empty());
  EXPECT_FALSE(get("/debug/highscores").body.empty());
}

TEST_F(FaultModes, StarAnswersTheNoAnswerMarkerAndHandlesNothing) {
  setFault("star");
  EXPECT_EQ(saveAnn().body, "*");
  EXPECT_EQ(uploadOne().body, "*");
  EXPECT_TRUE(nothingStored());
}

TEST_F(FaultModes, GarbageIsNeitherBase64NorTheMarker) {
  setFault("garbage");
  for (const auto& res : {saveAnn(), uploadOne()}) {
    ASSERT_FALSE(res.body.empty());
    EXPECT_NE(res.body[0], '*');
    EXPECT_FALSE(base64Decode(res.body));
  }
  EXPECT_TRUE(nothingStored());
}

TEST_F(FaultModes, HtmlPagePlainAndEncoded) {
  setFault("html");
  auto plain = uploadOne();
  EXPECT_EQ(plain.body.rfind("<!DOCTYPE html>", 0), 0u);
  EXPECT_FALSE(decodeAnswer(plain.body, kSecret));
  EXPECT_FALSE(saveAnn().body.empty());

  setFault("html-encoded");
  auto encoded = uploadOne();
  auto text = decodeAnswer(encoded.body, kSecret);
  ASSERT_TRUE(text);
  EXPECT_EQ(text->rfind("<!DOCTYPE html>", 0), 0u);
  EXPECT_TRUE(nothingStored());
}

TEST_F(FaultModes, AdIsAWellFormedEncodedAdAnswer) {
  setFault("ad");
  auto text = decodeAnswer(uploadOne().body, kSecret);
  ASSERT_TRUE(text);
  auto answer = parseJson(*text);
  ASSERT_TRUE(answer) << *text;
  EXPECT_EQ(answer->stringOr("type"), "ad");
  ASSERT_TRUE(answer->get("success"));
  EXPECT_EQ(answer->get("success")->kind, JsonValue::Kind::Bool);
  EXPECT_TRUE(answer->get("success")->boolean);
  EXPECT_EQ(answer->stringOr("errors", "missing"), "");
  const JsonValue* data = answer->get("data");
  ASSERT_TRUE(data && data->kind == JsonValue::Kind::Array && data->items.size() == 1);
  for (const char* key : {"title", "desc", "link"}) EXPECT_FALSE(data->items[0].stringOr(key).empty()) << key;
  EXPECT_EQ(data->items[0].stringOr("link").rfind(server->baseUrl(), 0), 0u);
  EXPECT_TRUE(nothingStored());
}

TEST_F(FaultModes, EmptyBodyWithSuccessStatus) {
  setFault("empty");
  auto res = saveAnn();
  EXPECT_TRUE(res.ok);
  EXPECT_EQ(res.status, 200);
  EXPECT_TRUE(res.body.empty());
  EXPECT_TRUE(uploadOne().body.empty());
  EXPECT_TRUE(nothingStored());
}

TEST_F(FaultModes, HugeBodyIsTwentyMegabytesAndTripsTheClientsCap) {
  setFault("huge");
  auto capped = send("POST", "/highscores/public/save.php", "gid=3&player=Ann&score=1", 10.0, 4u << 20);
  EXPECT_FALSE(capped.ok);
  EXPECT_TRUE(capped.body.empty());
  auto whole = send("POST", "/servlet/KEY", "args=x", 10.0, 32u << 20);
  ASSERT_TRUE(whole.ok) << whole.error;
  EXPECT_EQ(whole.body.size(), 20u * 1024 * 1024);
  EXPECT_TRUE(nothingStored());
}

TEST_F(FaultModes, StallOutlastsTheClientAndEndsAtShutdown) {
  setFault("stall");
  auto start = Clock::now();
  auto res = saveAnn(0.3);
  EXPECT_FALSE(res.ok);
  EXPECT_TRUE(res.timedOut);
  EXPECT_LT(secondsSince(start), 2.0);

  // A request still held when the server stops is let go at once.
  std::thread late([this] { uploadOne(10.0); });
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  start = Clock::now();
  server->stop();
  EXPECT_LT(secondsSince(start), 2.0);
  late.join();
  EXPECT_TRUE(nothingStored());
}

TEST_F(FaultModes, StalledRequestIsHandledAfterTheHold) {
  server.reset();
  options.stallSeconds = 0.2;
  options.fault = FaultMode::Stall;
  startServer();
  auto start = Clock::now();
  auto res = saveAnn();
  EXPECT_GE(secondsSince(start), 0.19);
  EXPECT_EQ(res.body, "OK");
  EXPECT_EQ(server->store().scores().size(), 1u);
}

TEST_F(FaultModes, TrickleSendsTheUsualAnswerOneByteAtATime) {
  setFault("trickle");
  auto start = Clock::now();
  auto res = saveAnn();
  EXPECT_GE(secondsSince(start), 0.19);  // "OK": two bytes, 100 ms each
  EXPECT_EQ(res.body, "OK");
  EXPECT_EQ(server->store().scores().size(), 1u);

  auto cut = saveAnn(0.15);
  EXPECT_FALSE(cut.ok);
  EXPECT_TRUE(cut.timedOut);
}

TEST_F(FaultModes, TrickledAnalyticsAnswerStillDecodes) {
  server.reset();
  options.trickleInterval = 0.002;
  options.fault = FaultMode::Trickle;
  startServer();
  auto res = uploadOne();
  EXPECT_EQ(decodeAnswer(res.body, kSecret), R"({"type":"ack","success":true,"errors":"","data":[]})");
  EXPECT_EQ(server->store().events().size(), 1u);
}

TEST(FaultModeNames, EveryModeHasAName) {
  for (const char* name : {"none", "star", "garbage", "html", "html-encoded", "ad", "stall", "empty", "huge", "trickle"}) {
    auto mode = faultModeFromName(name);
    ASSERT_TRUE(mode) << name;
    EXPECT_STREQ(faultModeName(*mode), name);
  }
  EXPECT_FALSE(faultModeFromName("refuse"));  // refusing is simply not running the server
}

}  // namespace
}  // namespace peckish::devserver::testing
