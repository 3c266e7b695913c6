// The analytics side: decoding uploads, storing their records, encoding the answer.
#include "ServerFixture.h"

namespace peckish::devserver::testing {
namespace {

class AnalyticsEndpoint : public ServerTest {
 protected:
  void SetUp() override {
    ServerTest::SetUp();
    startServer();
  }
  platform::HttpResponse upload(const std::vector<std::string>& records, const std::string& key = "PECKISH0DESKTOP1") {
    return post("/servlet/" + key, encodeUploadBody(envelope(records), kSecret));
  }
  // The answer decoded as the client decodes it; fails the test when it does not decode to JSON.
  JsonValue answerOf(const platform::HttpResponse& res) {
    auto text = decodeAnswer(res.body, kSecret);
    EXPECT_TRUE(text) << "answer is not encoded: " << res.body;
    auto json = parseJson(text.value_or(""));
    EXPECT_TRUE(json) << "answer is not JSON: " << text.value_or("");
    return json.value_or(JsonValue{});
  }
};

TEST_F(AnalyticsEndpoint, UploadIsStoredInOrderAndAnsweredWithAnEncodedAck) {
  const std::string session = "0123456789ABCDEF0123456789ABCDEF";
  auto res = upload({actionRecord(session, "1700000001", "Analysis Started"), actionRecord(session, "1700000002", "instruct"),
                     actionRecord(session, "1700000003", "startGame")});
  ASSERT_TRUE(res.ok) << res.error;
  ASSERT_EQ(res.status, 200);
  auto text = decodeAnswer(res.body, kSecret);
  ASSERT_TRUE(text);
  EXPECT_EQ(*text, R"({"type":"ack","success":true,"errors":"","data":[]})");

  auto events = server->store().events();
  ASSERT_EQ(events.size(), 3u);
  const char* actions[] = {"Analysis Started", "instruct", "startGame"};
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(events[i].action, actions[i]);
    EXPECT_EQ(events[i].position, static_cast<int64_t>(i));
    EXPECT_EQ(events[i].session, session);
    EXPECT_EQ(events[i].type, "action");
    EXPECT_EQ(events[i].upload, events[0].upload);
  }
  EXPECT_EQ(events[1].json, actionRecord(session, "1700000002", "instruct"));
  EXPECT_EQ(events[1].time, "1700000002");

  auto uploads = server->store().uploads();
  ASSERT_EQ(uploads.size(), 1u);
  EXPECT_EQ(uploads[0].key, "PECKISH0DESKTOP1");
  EXPECT_EQ(uploads[0].records, 3);
  EXPECT_EQ(uploads[0].envelope.rfind("{\"code_version\" : \"1.1.3\"", 0), 0u);
}

TEST_F(AnalyticsEndpoint, LaterUploadsFollowEarlierOnesAndDumpsFilterBySession) {
  upload({actionRecord("A", "1", "one")});
  upload({});  // an empty batch is a valid upload
  upload({actionRecord("B", "2", "two"), actionRecord("A", "3", "three")});
  auto all = parseJson(get("/debug/events").body);
  ASSERT_TRUE(all && all->kind == JsonValue::Kind::Array);
  ASSERT_EQ(all->items.size(), 3u);
  EXPECT_EQ(all->items[0].stringOr("action"), "one");
  EXPECT_EQ(all->items[2].stringOr("action"), "three");
  EXPECT_EQ(all->items[2].get("position")->text, "1");
  EXPECT_EQ(all->items[1].stringOr("json"), actionRecord("B", "2", "two"));

  auto onlyA = parseJson(get("/debug/events?session=A").body);
  ASSERT_TRUE(onlyA);
  ASSERT_EQ(onlyA->items.size(), 2u);
  EXPECT_EQ(onlyA->items[1].stringOr("action"), "three");

  auto uploads = parseJson(get("/debug/uploads").body);
  ASSERT_TRUE(uploads);
  ASSERT_EQ(uploads->items.size(), 3u);
  EXPECT_EQ(uploads->items[1].get("records")->text, "0");
}

TEST_F(AnalyticsEndpoint, RecordThatIsNotValidJsonIsStillStored) {
  auto res = upload({actionRecord("S", "5", "say \"hi\""), actionRecord("S", "6", "tell")});
  ASSERT_EQ(res.status, 200);
  EXPECT_EQ(answerOf(res).stringOr("type"), "ack");
  auto events = server->store().events();
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[0].action, "say \"hi\"");
  EXPECT_EQ(events[0].json, actionRecord("S", "5", "say \"hi\""));
  EXPECT_EQ(events[1].action, "tell");
}

TEST_F(AnalyticsEndpoint, UploadWithAnAdRecordIsAnsweredWithAnAd) {
  auto res = upload({actionRecord("S", "1", "x"), adRecord("S", "2")});
  ASSERT_EQ(res.status, 200);
  JsonValue answer = answerOf(res);
  EXPECT_EQ(answer.stringOr("type"), "ad");
  const JsonValue* data = answer.get("data");
  ASSERT_TRUE(data && data->items.size() == 1);
  EXPECT_FALSE(data->items[0].stringOr("title").empty());
  EXPECT_EQ(server->store().events().size(), 2u);
  EXPECT_EQ(server->store().events()[1].type, "ad");
}

TEST_F(AnalyticsEndpoint, UndecodableUploadsAreRefusedWithTheNoAnswerMarker) {
  std::vector<std::pair<std::string, std::string>> cases = {
      {"no args", "other=1"},
      {"args twice", encodeUploadBody(envelope({}), kSecret) + "&" + encodeUploadBody(envelope({}), kSecret)},
      {"not Base64", "args=%%%"},
      {"bad characters", "args=abc*def"},
      {"wrong secret", encodeUploadBody(envelope({actionRecord("S", "1", "x")}), "another secret")},
      {"not an envelope", encodeUploadBody("[1,2,3]", kSecret)},
  };
  for (const auto& [what, body] : cases) {
    auto res = post("/servlet/KEY", body);
    EXPECT_EQ(res.status, 400) << what;
    ASSERT_FALSE(res.body.empty()) << what;
    EXPECT_EQ(res.body[0], '*') << what;
  }
  EXPECT_TRUE(server->store().events().empty());
  EXPECT_TRUE(server->store().uploads().empty());
}

TEST_F(AnalyticsEndpoint, ShortSecretKeysTheCipherOnBothSides) {
  server.reset();
  options.secret = "roosters";
  startServer();
  auto res = post("/servlet/K", encodeUploadBody(envelope({actionRecord("S", "1", "x")}), "roosters"));
  ASSERT_EQ(res.status, 200);
  EXPECT_EQ(decodeAnswer(res.body, "roosters"), R"({"type":"ack","success":true,"errors":"","data":[]})");
}

}  // namespace
}  // namespace peckish::devserver::testing
