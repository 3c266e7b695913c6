// Ad requests: the answer reaches the delegate once, on the main thread; refusals, failed
// exchanges and the wait for a first location fix report their errors the same way.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <vector>

#include "analytics/ServiceTestSupport.h"

using namespace peckish;
using namespace peckish::testing;
using ::testing::ElementsAre;

namespace {

class RecordingAdDelegate final : public KXAdDelegate {
 public:
  struct Ad {
    std::string title, text, link;
  };
  struct Failure {
    std::string domain;
    long code;
  };
  void serviceDidGetAdWithTitle(KXService*, const std::string& title, const std::string& text,
                                const std::string& link) override {
    std::lock_guard<std::mutex> lock(mutex);
    ads.push_back({title, text, link});
    if (!platform::RunLoop::main().isMainThread()) ++offMainThread;
  }
  void serviceFailedToGetAdWithError(KXService*, KXError* error) override {
    std::lock_guard<std::mutex> lock(mutex);
    failures.push_back({error->domain(), error->code()});
    if (!platform::RunLoop::main().isMainThread()) ++offMainThread;
  }
  size_t adCount() {
    std::lock_guard<std::mutex> lock(mutex);
    return ads.size();
  }
  size_t failureCount() {
    std::lock_guard<std::mutex> lock(mutex);
    return failures.size();
  }

  std::mutex mutex;
  std::vector<Ad> ads;
  std::vector<Failure> failures;
  int offMainThread = 0;
};

class AdRequestTest : public ServiceWorld {
 protected:
  void SetUp() override {
    ServiceWorld::SetUp();
    delegate = make<RecordingAdDelegate>();
  }
  void useDelegate() { service()->setAdDelegate(delegate.get()); }
  bool waitForAds(size_t n) { return pumpUntil([&] { return delegate->adCount() >= n; }); }
  bool waitForFailures(size_t n) { return pumpUntil([&] { return delegate->failureCount() >= n; }); }
  // Turns the main loop a little longer, for calls that should not come.
  void settle() {
    service()->waitForThreads(10.0);
    pumpUntil([] { return false; }, 0.05);
  }

  Ref<RecordingAdDelegate> delegate;
};

TEST_F(AdRequestTest, AWellFormedAdReachesTheDelegateOnceOnTheMainThread) {
  storeActions(2, "r");
  useDelegate();
  service()->requestAdUsingLocation(false);
  EXPECT_TRUE(service()->requestingAd());
  ASSERT_TRUE(waitForAds(1));
  settle();
  ASSERT_EQ(delegate->ads.size(), 1u);
  EXPECT_EQ(delegate->ads[0].title, "Peckish Gold");
  EXPECT_EQ(delegate->ads[0].text, "Twice the roosters, half the patience.");
  EXPECT_NE(delegate->ads[0].link.find("/highscores/public/buymore.php"), std::string::npos);
  EXPECT_EQ(delegate->offMainThread, 0);
  EXPECT_TRUE(delegate->failures.empty());
  EXPECT_FALSE(service()->requestingAd());
  // The oldest batch travels with the ad record last, and is done with.
  EXPECT_THAT(receivedActions(), ElementsAre("r0", "r1", "<ad>"));
  EXPECT_NE(received().back().json.find("\"withloc\" : \"false\""), std::string::npos);
  EXPECT_EQ(received().back().session, service()->session());
  EXPECT_TRUE(queue().empty());
  EXPECT_TRUE(inFlightRows().empty());
}

TEST_F(AdRequestTest, ASecondRequestWhileOneRunsIsRefusedWithCodeThree) {
  useDelegate();
  GateFlagReader& gate = holdExchanges();
  service()->requestAdUsingLocation(false);
  ASSERT_TRUE(gate.waitUntilEntered(1));
  service()->requestAdUsingLocation(false);
  ASSERT_TRUE(waitForFailures(1));
  EXPECT_EQ(delegate->failures[0].domain, "org.Kestrix.advertising");
  EXPECT_EQ(delegate->failures[0].code, 3);
  gate.open();
  ASSERT_TRUE(waitForAds(1));
  settle();
  EXPECT_EQ(delegate->ads.size(), 1u);
  EXPECT_EQ(uploads(), 1u);
  EXPECT_EQ(delegate->offMainThread, 0);
}

TEST_F(AdRequestTest, RequestsWithinThreeSecondsOfADeliveredAdAreRefusedWithCodeFour) {
  useDelegate();
  service()->requestAdUsingLocation(false);
  ASSERT_TRUE(waitForAds(1));
  platform::RunLoop::main().advance(2.9);
  service()->requestAdUsingLocation(false);
  ASSERT_TRUE(waitForFailures(1));
  EXPECT_EQ(delegate->failures[0].domain, "org.Kestrix.advertising");
  EXPECT_EQ(delegate->failures[0].code, 4);
  EXPECT_FALSE(service()->requestingAd());
  platform::RunLoop::main().advance(0.1);
  service()->requestAdUsingLocation(false);
  ASSERT_TRUE(waitForAds(2));
  settle();
  EXPECT_EQ(delegate->failures.size(), 1u);
  EXPECT_EQ(uploads(), 2u);
}

TEST_F(AdRequestTest, AFailedExchangePutsTheBatchBackAndTellsTheDelegate) {
  storeActions(3, "r");
  useDelegate();
  server->setFault(devserver::FaultMode::Star);
  service()->requestAdUsingLocation(false);
  ASSERT_TRUE(waitForFailures(1));
  settle();
  EXPECT_EQ(delegate->failures[0].domain, "org.Kestrix");
  EXPECT_EQ(delegate->failures[0].code, 1);
  EXPECT_TRUE(delegate->ads.empty());
  EXPECT_FALSE(service()->requestingAd());
  EXPECT_THAT(queueActions(), ElementsAre("r0", "r1", "r2"));
  EXPECT_TRUE(inFlightRows().empty());
}

TEST_F(AdRequestTest, ALocationFailureDuringTheWaitIsReportedAndTheRequestStillSent) {
  useDelegate();
  service()->requestAdUsingLocation(true);
  auto& manager = service()->locationManager();
  ASSERT_TRUE(pumpUntil([&] { return manager.updatingLocation(); }));
  manager.injectFailure(platform::kLocationErrorDenied);
  ASSERT_TRUE(waitForFailures(1));
  EXPECT_EQ(delegate->failures[0].domain, "org.Kestrix.Location");
  EXPECT_EQ(delegate->failures[0].code, 0);
  ASSERT_TRUE(waitForAds(1));
  settle();
  ASSERT_EQ(received().size(), 1u);
  EXPECT_EQ(received()[0].type, "ad");
  EXPECT_NE(received()[0].json.find("\"withloc\" : \"true\""), std::string::npos);
  EXPECT_FALSE(manager.updatingLocation());
  EXPECT_EQ(delegate->offMainThread, 0);
}

TEST_F(AdRequestTest, TheWaitForAFirstFixIsBounded) {
  useDelegate();
  EXPECT_DOUBLE_EQ(service()->locationWaitTimeout(), 30.0);
  service()->setLocationWaitTimeout(0.05);
  service()->requestAdUsingLocation(true);
  ASSERT_TRUE(waitForFailures(1));
  EXPECT_EQ(delegate->failures[0].domain, "org.Kestrix.Location");
  EXPECT_EQ(delegate->failures[0].code, 0);
  ASSERT_TRUE(waitForAds(1));
  settle();
  EXPECT_EQ(uploads(), 1u);
  // The updates started for the wait are stopped again when nobody tracks the location.
  EXPECT_EQ(service()->locationManager().startCount(), 1);
  EXPECT_FALSE(service()->locationManager().updatingLocation());
}

TEST_F(AdRequestTest, AFixDuringTheWaitSendsTheRequestWithTheFix) {
  useDelegate();
  service()->requestAdUsingLocation(true);
  auto& manager = service()->locationManager();
  ASSERT_TRUE(pumpUntil([&] { return manager.updatingLocation(); }));
  manager.injectLocation({48.0, 11.5, 520.0});
  ASSERT_TRUE(waitForAds(1));
  settle();
  EXPECT_TRUE(delegate->failures.empty());
  EXPECT_THAT(receivedActions(), ElementsAre("<geo>", "<ad>"));
  // With a fix at hand the next request does not wait at all.
  platform::RunLoop::main().advance(3.0);
  service()->requestAdUsingLocation(true);
  ASSERT_TRUE(waitForAds(2));
  EXPECT_EQ(manager.startCount(), 1);
}

TEST_F(AdRequestTest, WithoutLocationServicesTheRequestGoesOnAtOnce) {
  platform::LocationManager::setInjectedForTesting(false);  // the desktop's own manager
  useDelegate();
  service()->requestAdUsingLocation(true);
  ASSERT_TRUE(waitForFailures(1));
  EXPECT_EQ(delegate->failures[0].domain, "org.Kestrix.Location");
  EXPECT_EQ(delegate->failures[0].code, 0);
  ASSERT_TRUE(waitForAds(1));
  EXPECT_EQ(delegate->offMainThread, 0);
}

TEST_F(AdRequestTest, DelegatesMayIgnoreAdsOrBeMissing) {
  auto silent = make<KXAdDelegate>();
  service()->setAdDelegate(silent.get());
  service()->requestAdUsingLocation(false);
  ASSERT_TRUE(pumpUntil([&] { return !service()->requestingAd(); }));
  settle();
  service()->setAdDelegate(nullptr);
  platform::RunLoop::main().advance(3.0);
  service()->requestAdUsingLocation(false);
  service()->requestAdUsingLocation(false);  // refused, with nobody to tell
  settle();
  EXPECT_EQ(uploads(), 2u);
}

}  // namespace
