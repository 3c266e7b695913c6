// The transport against the development server: what goes on the wire, how answers are decoded,
// and which error each kind of failure reports.
#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

#include "analytics/KXB64.h"
#include "analytics/KXEncryption.h"
#include "analytics/KXURL.h"
#include "analytics/FakeReachability.h"
#include "analytics/ServiceTestSupport.h"

using namespace peckish;
using namespace peckish::testing;

namespace {

class RecordingServerDelegate final : public KXServerDelegate {
 public:
  std::string key() const override { return keyText; }
  std::string secret() const override { return secretText; }
  void failedToCompleteRequest(KXRequest* request, KXError* error) override {
    std::lock_guard<std::mutex> lock(mutex);
    failures.push_back({request, error->domain(), error->code()});
  }
  struct Failure {
    KXRequest* request;
    std::string domain;
    long code;
  };
  std::vector<Failure> all() {
    std::lock_guard<std::mutex> lock(mutex);
    return failures;
  }

  std::string keyText = kTestKey;
  std::string secretText = kTestSecret;
  std::mutex mutex;
  std::vector<Failure> failures;
};

class TransportTest : public ServiceWorld {
 protected:
  void SetUp() override {
    ServiceWorld::SetUp();
    transport = make<KXSpeedServer>(host);
    transport->setServerDelegate(&delegate);
  }

  Ref<KXRequest> request(const std::vector<std::string>& actions = {"a", "b"}) {
    std::vector<Ref<KXRecord>> records;
    for (const auto& a : actions) records.push_back(make<KXAction>(a, "SESSION"));
    return make<KXRequest>(std::move(records));
  }
  static std::string encodeAnswer(const std::string& json) {
    return KXBase64EncodedData(KXRC4(json, kTestSecret));
  }

  RecordingServerDelegate delegate;
  Ref<KXSpeedServer> transport;
};

TEST_F(TransportTest, AnAckIsReadAndTheUploadArrivesDecoded) {
  auto req = request({"startGame", "instruct"});
  Ref<KXResponse> response = transport->sendRequest(req);
  ASSERT_TRUE(response);
  EXPECT_TRUE(delegate.all().empty());
  EXPECT_EQ(response->type(), "ack");
  EXPECT_TRUE(response->success());
  EXPECT_EQ(response->errors().stringValue(), "");
  EXPECT_TRUE(response->data().isArray());
  EXPECT_EQ(response->data().size(), 0u);

  auto u = server->store().uploads();
  ASSERT_EQ(u.size(), 1u);
  EXPECT_EQ(u[0].key, kTestKey);
  EXPECT_EQ(u[0].envelope.rfind("{\"code_version\" : \"1.1.3\", \"person_hash\" : \"", 0), 0u) << u[0].envelope;
  auto events = received();
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[0].action, "startGame");
  EXPECT_EQ(events[0].session, "SESSION");
  EXPECT_EQ(events[1].action, "instruct");
}

TEST_F(TransportTest, TheRequestIsAnUrlSafeFormPostToTheKeyedServlet) {
  auto req = request();
  auto http = transport->prepareURLRequest(*req);
  ASSERT_TRUE(http);
  EXPECT_EQ(http->method, "POST");
  EXPECT_EQ(http->url, "http://" + host + "/servlet/" + kTestKey);
  EXPECT_DOUBLE_EQ(http->timeoutSeconds, 10.0);
  EXPECT_LE(http->maxResponseBytes, KXSpeedServer::kMaxAnswerBytes);
  ASSERT_EQ(http->body.rfind("args=", 0), 0u);
  std::string value = http->body.substr(5);
  EXPECT_EQ(value.find_first_of("+/"), std::string::npos);
  std::string standard = KXstringByReplacingSubstring(KXstringByReplacingSubstring(value, "-", "+"), "_", "/");
  auto bytes = KXDataFromBase64String(standard);
  ASSERT_TRUE(bytes);
  std::string envelope = KXRC4dec(*bytes, kTestSecret);
  EXPECT_NE(envelope.find("\"data\" : [" + req->payload()[0]->json() + "," + req->payload()[1]->json() + "]}"),
            std::string::npos)
      << envelope;
}

TEST_F(TransportTest, AnswersThatAreNotAResponseReportCodeOne) {
  const std::vector<devserver::FaultMode> modes = {
      devserver::FaultMode::Star,  devserver::FaultMode::Garbage, devserver::FaultMode::Html,
      devserver::FaultMode::HtmlEncoded, devserver::FaultMode::Empty, devserver::FaultMode::Huge};
  for (auto mode : modes) {
    SCOPED_TRACE(devserver::faultModeName(mode));
    server->setFault(mode);
    delegate.failures.clear();
    auto req = request();
    EXPECT_FALSE(transport->sendRequest(req));
    auto f = delegate.all();
    ASSERT_EQ(f.size(), 1u);
    EXPECT_EQ(f[0].request, req.get());
    EXPECT_EQ(f[0].domain, "org.Kestrix");
    EXPECT_EQ(f[0].code, 1);
  }
}

TEST_F(TransportTest, AWellFormedAdAnswerKeepsItsDataArray) {
  server->setFault(devserver::FaultMode::Ad);
  Ref<KXResponse> response = transport->sendRequest(request());
  ASSERT_TRUE(response);
  EXPECT_EQ(response->type(), "ad");
  EXPECT_TRUE(response->success());
  ASSERT_TRUE(response->data().isArray());
  ASSERT_EQ(response->data().size(), 1u);
  const KXJSONValue& ad = response->data()[0];
  ASSERT_TRUE(ad.isDictionary());
  EXPECT_EQ(ad.find("title")->stringValue(), "Peckish Gold");
  EXPECT_EQ(ad.find("desc")->stringValue(), "Twice the roosters, half the patience.");
  EXPECT_NE(ad.find("link")->stringValue().find("buymore.php"), std::string::npos);
}

TEST_F(TransportTest, AnUnreachableHostReportsCodeZeroAndSendsNothing) {
  auto reader = std::make_shared<FakeFlagReader>();
  KXReachability::sharedReachability()->setFlagReader(reader);
  reader->set("127.0.0.1", kReachabilityFlagsReachable | kReachabilityFlagsConnectionRequired);
  auto req = request();
  EXPECT_FALSE(transport->sendRequest(req));
  auto f = delegate.all();
  ASSERT_EQ(f.size(), 1u);
  EXPECT_EQ(f[0].domain, "org.Kestrix");
  EXPECT_EQ(f[0].code, 0);
  EXPECT_EQ(uploads(), 0u);
  // The check is made for the host name alone, without the port.
  EXPECT_EQ(KXReachability::sharedReachability()->hostName(), "127.0.0.1");
  reader->set("127.0.0.1", kReachabilityFlagsReachable);
  EXPECT_TRUE(transport->sendRequest(req));
  EXPECT_EQ(uploads(), 1u);
}

TEST_F(TransportTest, NoCredentialsMeansNoRequestAndCodeTwo) {
  delegate.secretText.clear();
  EXPECT_FALSE(transport->sendRequest(request()));
  delegate.secretText = kTestSecret;
  delegate.keyText.clear();
  EXPECT_FALSE(transport->sendRequest(request()));
  auto f = delegate.all();
  ASSERT_EQ(f.size(), 2u);
  EXPECT_EQ(f[0].code, 2);
  EXPECT_EQ(f[1].code, 2);
  EXPECT_EQ(uploads(), 0u);
  // Without a delegate there is nobody to ask for the key, and nobody to tell.
  transport->setServerDelegate(nullptr);
  EXPECT_FALSE(transport->sendRequest(request()));
  EXPECT_EQ(uploads(), 0u);
}

TEST_F(TransportTest, ASilentServerIsGivenUpAfterTheTimeOut) {
  server->setFault(devserver::FaultMode::Stall);
  transport->setTimeout(0.3);
  auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(transport->sendRequest(request()));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  auto f = delegate.all();
  ASSERT_EQ(f.size(), 1u);
  EXPECT_EQ(f[0].code, 1);
}

TEST_F(TransportTest, ExchangesRunOneAtATime) {
  GateFlagReader& gate = holdExchanges();
  std::thread first([&] { transport->sendRequest(request({"first"})); });
  ASSERT_TRUE(gate.waitUntilEntered(1));
  std::thread second([&] { transport->sendRequest(request({"second"})); });
  // The second exchange waits for the transport, not inside the first one's check.
  EXPECT_FALSE(gate.waitUntilEntered(2, 0.3));
  gate.open();
  first.join();
  second.join();
  ASSERT_EQ(received().size(), 2u);
  EXPECT_EQ(received()[0].action, "first");
  EXPECT_EQ(received()[1].action, "second");
}

TEST_F(TransportTest, AnswerTextsAreDecodedOrRefused) {
  EXPECT_FALSE(transport->prepareResponseFromString(""));
  EXPECT_FALSE(transport->prepareResponseFromString("*"));
  EXPECT_FALSE(transport->prepareResponseFromString("*" + encodeAnswer("{\"type\":\"ad\"}")));
  EXPECT_FALSE(transport->prepareResponseFromString("YW*j"));
  EXPECT_FALSE(transport->prepareResponseFromString(encodeAnswer("<html>busy</html>")));
  EXPECT_FALSE(transport->prepareResponseFromString(encodeAnswer("")));

  // "success" must be the literal true; a missing "type" reads as empty.
  auto r = transport->prepareResponseFromString(encodeAnswer("{\"success\":\"true\",\"data\":[1]}"));
  ASSERT_TRUE(r);
  EXPECT_FALSE(r->success());
  EXPECT_EQ(r->type(), "");
  EXPECT_EQ(r->data().size(), 1u);
  // A text that starts like an object but does not parse leaves every field empty.
  r = transport->prepareResponseFromString(encodeAnswer("{\"type\":\"ad\",\"success\":true} and more"));
  ASSERT_TRUE(r);
  EXPECT_EQ(r->type(), "");
  EXPECT_FALSE(r->success());
  EXPECT_TRUE(r->data().isNull());
  // A type that is not a string is no type.
  r = transport->prepareResponseFromString(encodeAnswer("{\"type\":[\"ad\"],\"success\":true}"));
  ASSERT_TRUE(r);
  EXPECT_EQ(r->type(), "");
  EXPECT_TRUE(r->success());
  // An answer encrypted with another secret is refused.
  EXPECT_FALSE(transport->prepareResponseFromString(
      KXBase64EncodedData(KXRC4("{\"type\":\"ack\"}", "ffffffffffffffffffffffffffffffff"))));
}

TEST(TransportHostTest, PortsAreLeftOutOfTheReachabilityName) {
  EXPECT_EQ(KXHostNameWithoutPort("127.0.0.1:8765"), "127.0.0.1");
  EXPECT_EQ(KXHostNameWithoutPort("analytics.example.org"), "analytics.example.org");
  EXPECT_EQ(KXHostNameWithoutPort("[::1]:8765"), "::1");
  EXPECT_EQ(KXHostNameWithoutPort("::1"), "::1");
  KXSpeedServer transport("stats.example.org:81");
  EXPECT_EQ(transport.baseAddress(), "http://stats.example.org:81/servlet");
  EXPECT_EQ(KXReachability::sharedReachability()->hostName(), "stats.example.org");
  KXReachability::purgeShared();
}

}  // namespace
