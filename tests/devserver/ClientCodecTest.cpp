// The dev server against the game client's own request, encoding and JSON reader.
#include "ServerFixture.h"
#include "analytics/KXB64.h"
#include "analytics/KXEncryption.h"
#include "analytics/KXJSON.h"
#include "analytics/KXRequest.h"
#include "analytics/KXURL.h"

namespace peckish::devserver::testing {
namespace {

class ClientCodec : public ServerTest {
 protected:
  void SetUp() override {
    ServerTest::SetUp();
    setenv("PECKISH_DATA_DIR", home.path().c_str(), 1);  // where the request's identifier is made
    startServer();
  }
  void TearDown() override {
    ServerTest::TearDown();
    unsetenv("PECKISH_DATA_DIR");
  }
  TempDir home;
  // The upload body as the client's transport builds it, and its answer as the client reads it.
  std::optional<KXJSONValue> exchange(const KXRequest& request) {
    std::string body = "args=" + KXURLEncoding(KXBase64EncodedData(KXRC4(request.json(), kSecret)));
    auto res = post("/servlet/PECKISH0DESKTOP1", body);
    EXPECT_EQ(res.status, 200) << res.body;
    auto bytes = KXDataFromBase64String(res.body);
    if (!bytes) return std::nullopt;
    return make<KXJSON>()->objectWithString(KXRC4dec(*bytes, kSecret));
  }
};

TEST_F(ClientCodec, ClientEnvelopeIsStoredAndTheAckReadsBack) {
  const std::string session = "00112233445566778899AABBCCDDEEFF";
  KXRequest request({make<KXAction>("Analysis Started", session), make<KXAction>("instruct", session),
                     make<KXGeo>(52.5f, 13.25f, 34.0f, session)});
  auto answer = exchange(request);
  ASSERT_TRUE(answer);
  ASSERT_TRUE(answer->find("type"));
  EXPECT_EQ(answer->find("type")->stringValue(), "ack");
  EXPECT_TRUE(answer->find("success")->boolValue());
  EXPECT_EQ(answer->find("errors")->stringValue(), "");
  EXPECT_TRUE(answer->find("data")->isArray());
  EXPECT_EQ(answer->find("data")->size(), 0u);

  auto events = server->store().events();
  ASSERT_EQ(events.size(), 3u);
  EXPECT_EQ(events[0].action, "Analysis Started");
  EXPECT_EQ(events[1].action, "instruct");
  EXPECT_EQ(events[2].type, "geo");
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(events[i].session, session);
    EXPECT_EQ(events[i].json, request.payload()[i]->json());
  }
}

TEST_F(ClientCodec, ClientAdRequestGetsAnAdTheClientCanRead) {
  KXRequest request({make<KXAd>(false, "S")});
  auto answer = exchange(request);
  ASSERT_TRUE(answer);
  EXPECT_EQ(answer->find("type")->stringValue(), "ad");
  EXPECT_TRUE(answer->find("success")->boolValue());
  const KXJSONValue* data = answer->find("data");
  ASSERT_TRUE(data && data->isArray() && data->size() == 1);
  const KXJSONValue& ad = (*data)[0];
  ASSERT_TRUE(ad.isDictionary());
  for (const char* key : {"title", "desc", "link"}) {
    ASSERT_TRUE(ad.find(key)) << key;
    EXPECT_FALSE(ad.find(key)->stringValue().empty()) << key;
  }
}

}  // namespace
}  // namespace peckish::devserver::testing
