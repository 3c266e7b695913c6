#include <gtest/gtest.h>
#include <stdlib.h>

#include <ctime>
#include <filesystem>
#include <memory>
#include <string>

#include "analytics/FakeReachability.h"
#include "analytics/KXJSON.h"
#include "analytics/KXMD5.h"
#include "analytics/KXRecord.h"
#include "analytics/KXRequest.h"
#include "platform/Device.h"

using namespace peckish;

namespace {

const std::string kSession = "0123456789ABCDEF0123456789ABCDEF";

KXJSONValue parseObject(const std::string& text) {
  KXJSON parser;
  Ref<KXError> error;
  auto v = parser.objectWithString(text, &error);
  EXPECT_TRUE(v.has_value()) << text << "\n" << (error ? error->debugDescription() : "");
  return v.value_or(KXJSONValue());
}

TEST(KXRecord, ActionTemplate) {
  auto a = make<KXAction>("startGame", kSession);
  a->setTimeString("1700000000");
  EXPECT_EQ(a->type(), "action");
  EXPECT_EQ(a->json(),
            "{\"session\" : \"0123456789ABCDEF0123456789ABCDEF\",\"time\" : \"1700000000\",\"type\" : \"action\","
            "\"action\" : \"startGame\"}");
}

TEST(KXRecord, GeoTemplateAndNumbers) {
  auto g = make<KXGeo>(52.5f, 13.25f, 34.0f, kSession);
  g->setTimeString("1700000001");
  EXPECT_EQ(g->type(), "geo");
  EXPECT_EQ(g->json(),
            "{\"lat\" : \"52.500000\",\"alt\" : \"34.000000\",\"session\" : \"0123456789ABCDEF0123456789ABCDEF\","
            "\"time\" : \"1700000001\",\"type\" : \"geo\",\"lon\" : \"13.250000\"}");
  // Values given as doubles are narrowed to floats first.
  auto d = KXGeo::withLocation(-33.8688197, 151.2092955, -1.5, kSession);
  EXPECT_EQ(d->lat(), static_cast<float>(-33.8688197));
  EXPECT_NE(d->json().find("\"lat\" : \"-33.868820\""), std::string::npos);
  EXPECT_NE(d->json().find("\"alt\" : \"-1.500000\""), std::string::npos);
}

TEST(KXRecord, AdTemplate) {
  KXAd no(false, kSession);
  KXAd yes(true, kSession);
  EXPECT_EQ(no.usingLocation(), "false");
  EXPECT_EQ(yes.usingLocation(), "true");
  EXPECT_EQ(no.json(), "{\"type\" : \"ad\",\"withloc\" : \"false\", \"time\" : \"" + no.timeString() +
                           "\", \"session\" : \"0123456789ABCDEF0123456789ABCDEF\"}");
}

TEST(KXRecord, TimeIsWholeSecondsNow) {
  long long before = static_cast<long long>(std::time(nullptr));
  KXAction a("x", kSession);
  KXAction b("y", kSession);
  long long after = static_cast<long long>(std::time(nullptr));
  long long t = std::stoll(a.timeString());
  EXPECT_GE(t, before);
  EXPECT_LE(t, after);
  if (before == after) {
    EXPECT_EQ(a.timeString(), b.timeString());
  }
}

TEST(KXRecord, SpecialCharactersAreEscapedSoTheTextStaysJSON) {
  auto a = make<KXAction>("say \"hi\" \\ now\n", kSession);
  KXJSONValue v = parseObject(a->json());
  EXPECT_EQ(v.find("action")->stringValue(), "say \"hi\" \\ now\n");
  EXPECT_EQ(v.find("type")->stringValue(), "action");
  // Every record's text is a JSON object with the expected members.
  KXJSONValue g = parseObject(KXGeo(1, 2, 3, kSession).json());
  EXPECT_EQ(g.find("lon")->stringValue(), "2.000000");
  KXJSONValue ad = parseObject(KXAd(true, kSession).json());
  EXPECT_EQ(ad.find("withloc")->stringValue(), "true");
}

class KXRequestTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // The installation's identifier is made in a home of the test's own, not the user's.
    std::string pattern = (std::filesystem::temp_directory_path() / "peckish-request-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    home = pattern;
    setenv("PECKISH_DATA_DIR", home.c_str(), 1);
    reader = std::make_shared<peckish::testing::FakeFlagReader>();
    KXReachability::sharedReachability()->setFlagReader(reader);
  }
  void TearDown() override {
    KXReachability::purgeShared();
    unsetenv("PECKISH_DATA_DIR");
    std::error_code ec;
    std::filesystem::remove_all(home, ec);
  }

  std::string header(const std::string& connectionType, const std::string& time) {
    return "{\"code_version\" : \"1.1.3\", \"person_hash\" : \"" + KXMD5(platform::deviceUniqueIdentifier()) +
           "\",\"connection_type\" : \"" + connectionType + "\",\"device\" : \"" + platform::deviceModel() +
           "\", \"platform_id\" : \"1\", \"locale\" : \"" + platform::currentLocaleIdentifier() +
           "\", \"connection_time\" : \"" + time + "\", \"data\" : [";
  }
  // The connection time is read while rendering; take it from the text and check it is now.
  std::string timeIn(const std::string& json) {
    const std::string marker = "\"connection_time\" : \"";
    auto p = json.find(marker);
    EXPECT_NE(p, std::string::npos);
    if (p == std::string::npos) return {};
    p += marker.size();
    return json.substr(p, json.find('"', p) - p);
  }

  std::shared_ptr<peckish::testing::FakeFlagReader> reader;
  std::string home;
};

TEST_F(KXRequestTest, EmptyPayloadGivesHeaderThenClose) {
  reader->set("0.0.0.0", kReachabilityFlagsReachable);
  long long before = static_cast<long long>(std::time(nullptr));
  KXRequest request;
  std::string json = request.json();
  std::string time = timeIn(json);
  EXPECT_GE(std::stoll(time), before);
  EXPECT_EQ(json, header("2", time) + "]}");
  EXPECT_TRUE(parseObject(json).find("data")->isArray());
}

TEST_F(KXRequestTest, RecordsJoinedInPayloadOrder) {
  reader->set("0.0.0.0", kReachabilityFlagsReachable | kReachabilityFlagsTransientConnection);
  auto a = make<KXAction>("instruct", kSession);
  auto b = make<KXGeo>(52.5f, 13.25f, 34.0f, kSession);
  KXRequest request({a, b});
  ASSERT_EQ(request.payload().size(), 2u);
  std::string json = request.json();
  EXPECT_EQ(json, header("1", timeIn(json)) + a->json() + "," + b->json() + "]}");
  KXJSONValue v = parseObject(json);
  EXPECT_EQ(v.find("data")->size(), 2u);
  EXPECT_EQ(v.find("connection_type")->stringValue(), "1");
}

TEST_F(KXRequestTest, ConnectionTypeIsReadAtEveryRendering) {
  KXRequest request;
  EXPECT_EQ(parseObject(request.json()).find("connection_type")->stringValue(), "0");
  reader->set("0.0.0.0", kReachabilityFlagsReachable);
  EXPECT_EQ(parseObject(request.json()).find("connection_type")->stringValue(), "2");
  EXPECT_EQ(KXRequest::personHash().size(), 32u);
}

}  // namespace
