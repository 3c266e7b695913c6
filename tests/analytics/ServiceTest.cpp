// The analytics service against a real store file and the development server: the session, logged
// actions and their limits, timed uploads, failed uploads, location fixes and the freshness check.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <vector>

#include "analytics/Analytics.h"
#include "platform/Notifications.h"
#include "analytics/ServiceTestSupport.h"

using namespace peckish;
using namespace peckish::testing;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

namespace {

class ServiceTest : public ServiceWorld {};

void postTerminate() {
  platform::NotificationCenter::defaultCenter().post(platform::kApplicationWillTerminateNotification);
}

// ---- session and analysis state ---------------------------------------------------------------

TEST_F(ServiceTest, StartingTwiceLogsOneStartAndAnEmptyStoreStartsNoUpload) {
  service()->startAnalysisUsingLocation(false);
  service()->startAnalysisUsingLocation(false);
  EXPECT_THAT(queueActions(), ElementsAre("Analysis Started"));
  EXPECT_EQ(service()->threadsStarted(), 0);
  EXPECT_TRUE(service()->analyzing());
}

TEST_F(ServiceTest, StopAndTheTerminateNotificationTogetherLogOneStop) {
  service()->startAnalysisUsingLocation(false);
  service()->stopAnalysis();
  postTerminate();
  service()->stopAnalysis();
  EXPECT_THAT(queueActions(), ElementsAre("Analysis Started", "Analysis Stopped"));
  EXPECT_FALSE(service()->analyzing());
  // Actions while stopped are dropped; a new start logs again under the same session.
  service()->logAction("instruct");
  EXPECT_THAT(queueActions(), ElementsAre("Analysis Started", "Analysis Stopped"));
  service()->startAnalysisUsingLocation(false);  // uploads the two, then logs its start
  ASSERT_TRUE(service()->waitForThreads(10.0));
  EXPECT_THAT(receivedActions(), ElementsAre("Analysis Started", "Analysis Stopped"));
  EXPECT_THAT(queueActions(), ElementsAre("Analysis Started"));
  for (const auto& e : received()) EXPECT_EQ(e.session, service()->session());
  EXPECT_EQ(queue()[0].session, service()->session());
}

TEST_F(ServiceTest, TheTerminateNotificationAloneStopsTheAnalysis) {
  service()->startAnalysisUsingLocation(false);
  postTerminate();
  EXPECT_THAT(queueActions(), ElementsAre("Analysis Started", "Analysis Stopped"));
}

TEST_F(ServiceTest, SessionIsThirtyTwoUpperCaseHexDigitsAndNewForEachProcess) {
  const std::string first = service()->session();
  ASSERT_EQ(first.size(), 32u);
  for (char c : first) EXPECT_TRUE(std::isdigit(static_cast<unsigned char>(c)) || (c >= 'A' && c <= 'F')) << first;
  EXPECT_EQ(service()->session(), first);
  KXService::purgeShared();
  EXPECT_NE(service()->session(), first);
}

TEST_F(ServiceTest, ActionNamesUpToFortyCharactersAreKept) {
  service()->startAnalysisUsingLocation(false);
  const std::string forty(40, 'x');
  service()->logAction(forty);
  service()->logAction(std::string(41, 'y'));
  // Forty characters of two bytes each are still forty characters.
  std::string wide;
  for (int i = 0; i < 40; ++i) wide += "\xC3\xA9";
  service()->logAction(wide);
  service()->logAction(wide + "e");
  EXPECT_THAT(queueActions(), ElementsAre("Analysis Started", forty, wide));
}

TEST_F(ServiceTest, AFullStoreDropsItsOldestRecordBeforeAnAction) {
  service()->startAnalysisUsingLocation(false);  // empty store: nothing taken
  storeActions(100, "old");                      // 101 with "Analysis Started"
  ASSERT_EQ(database()->numItems(), 101);
  service()->logAction("scores");
  const auto q = queueActions();
  ASSERT_EQ(q.size(), 101u);
  EXPECT_EQ(q.front(), "old0");  // "Analysis Started", the oldest, is gone
  EXPECT_EQ(q.back(), "scores");
  // At 100 nothing is dropped.
  KXService::purgeShared();
  database()->oldestActions(2);
  ASSERT_EQ(database()->numItems(), 99);
  service()->startAnalysisUsingLocation(false);  // takes five, logs one: 95
  storeActions(5, "fill");
  ASSERT_EQ(database()->numItems(), 100);
  service()->logAction("buy");
  EXPECT_EQ(database()->numItems(), 101);
}

TEST_F(ServiceTest, AFixInAFullStoreDropsTheOldestAndIsStoredEvenWhenNotAnalysing) {
  storeActions(100, "old");
  service()->locationManager().injectLocation({52.5, 13.25, 34.0});
  auto q = queue();
  ASSERT_EQ(q.size(), 100u);
  EXPECT_EQ(q.front().action, "old1");
  EXPECT_EQ(q.back().type, 1);
  EXPECT_EQ(q.back().session, service()->session());
  auto taken = database()->oldestActions(100);
  auto geo = ref_cast<KXGeo>(taken.back());
  ASSERT_TRUE(geo);
  EXPECT_FLOAT_EQ(geo->lat(), 52.5f);
  EXPECT_FLOAT_EQ(geo->lon(), 13.25f);
  EXPECT_FLOAT_EQ(geo->alt(), 34.0f);
  // With 99 nothing is dropped.
  storeActions(99, "n");
  service()->locationManager().injectLocation({1, 2, 3});
  EXPECT_EQ(database()->numItems(), 100);
  EXPECT_EQ(queueActions().front(), "n0");
}

// ---- uploads ----------------------------------------------------------------------------------

TEST_F(ServiceTest, StartUploadsTheFiveOldestAndLogsTheStartBehindThem) {
  storeActions(7, "r", "EARLIER");
  service()->startAnalysisUsingLocation(false);
  EXPECT_EQ(service()->threadsStarted(), 1);
  ASSERT_TRUE(service()->waitForThreads(10.0));
  EXPECT_THAT(receivedActions(), ElementsAre("r0", "r1", "r2", "r3", "r4"));
  for (const auto& e : received()) EXPECT_EQ(e.session, "EARLIER");
  EXPECT_THAT(queueActions(), ElementsAre("r5", "r6", "Analysis Started"));
  EXPECT_TRUE(inFlightRows().empty());
  auto u = server->store().uploads();
  ASSERT_EQ(u.size(), 1u);
  EXPECT_EQ(u[0].key, kTestKey);
}

TEST_F(ServiceTest, TheTimerUploadsABatchEveryNinetySeconds) {
  service()->startAnalysisUsingLocation(false);
  for (int i = 0; i < 6; ++i) service()->logAction("a" + std::to_string(i));
  platform::RunLoop::main().advance(89.9);
  EXPECT_EQ(service()->threadsStarted(), 0);
  platform::RunLoop::main().advance(0.1);
  EXPECT_EQ(service()->threadsStarted(), 1);
  ASSERT_TRUE(service()->waitForThreads(10.0));
  EXPECT_THAT(receivedActions(), ElementsAre("Analysis Started", "a0", "a1", "a2", "a3"));

  // The timer keeps running after a stop; the stop record goes out with the rest.
  service()->stopAnalysis();
  platform::RunLoop::main().advance(90.0);
  ASSERT_TRUE(service()->waitForThreads(10.0));
  EXPECT_THAT(receivedActions(), ElementsAre("Analysis Started", "a0", "a1", "a2", "a3", "a4", "a5",
                                             "Analysis Stopped"));
  EXPECT_TRUE(queue().empty());
  // An empty store starts no thread.
  platform::RunLoop::main().advance(90.0);
  EXPECT_EQ(service()->threadsStarted(), 2);
}

TEST_F(ServiceTest, AFailedUploadPutsAllFiveBackBehindTheRecordsStoredMeanwhile) {
  storeActions(5, "r");
  GateFlagReader& gate = holdExchanges();
  server->setFault(devserver::FaultMode::Star);
  service()->startAnalysisUsingLocation(false);
  ASSERT_TRUE(gate.waitUntilEntered(1));
  service()->logAction("meanwhile");
  gate.open();
  ASSERT_TRUE(service()->waitForThreads(10.0));
  EXPECT_THAT(queueActions(), ElementsAre("Analysis Started", "meanwhile", "r0", "r1", "r2", "r3", "r4"));
  EXPECT_TRUE(inFlightRows().empty());
  EXPECT_EQ(service()->uploadsInFlight(), 0);
  EXPECT_EQ(uploads(), 0u);
}

TEST_F(ServiceTest, AnUnreachableHostPutsTheBatchBackWithoutSendingIt) {
  storeActions(3, "r");
  holdExchanges().open(0);
  service()->startAnalysisUsingLocation(false);
  ASSERT_TRUE(service()->waitForThreads(10.0));
  EXPECT_THAT(queueActions(), ElementsAre("Analysis Started", "r0", "r1", "r2"));
  EXPECT_EQ(uploads(), 0u);
}

TEST_F(ServiceTest, AnAnswerTooLongToReadCountsAsAFailure) {
  storeActions(2, "r");
  server->setFault(devserver::FaultMode::Huge);
  service()->startAnalysisUsingLocation(false);
  ASSERT_TRUE(service()->waitForThreads(10.0));
  EXPECT_THAT(queueActions(), ElementsAre("Analysis Started", "r0", "r1"));
}

TEST_F(ServiceTest, GeoRecordsTravelAndComeBackAsGeoRecords) {
  service()->locationManager().injectLocation({52.5, 13.25, 34.0});
  server->setFault(devserver::FaultMode::Star);
  service()->startAnalysisUsingLocation(false);
  ASSERT_TRUE(service()->waitForThreads(10.0));
  ASSERT_EQ(queue().size(), 2u);
  EXPECT_EQ(queue()[1].type, 1);  // put back as a fix, behind "Analysis Started"
  server->setFault(devserver::FaultMode::None);
  platform::RunLoop::main().advance(90.0);
  ASSERT_TRUE(service()->waitForThreads(10.0));
  auto events = received();
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[1].type, "geo");
  EXPECT_NE(events[1].json.find("\"lat\" : \"52.500000\""), std::string::npos) << events[1].json;
}

// ---- location ---------------------------------------------------------------------------------

TEST_F(ServiceTest, TrackingRunsFromStartToStop) {
  service()->startAnalysisUsingLocation(true);
  EXPECT_TRUE(service()->locationManager().updatingLocation());
  service()->stopAnalysis();
  EXPECT_FALSE(service()->locationManager().updatingLocation());
  // Without tracking the manager is never started.
  KXService::purgeShared();
  service()->startAnalysisUsingLocation(false);
  EXPECT_EQ(service()->locationManager().startCount(), 0);
}

TEST_F(ServiceTest, AFailureLongAfterTheLastFixStartsUpdatesAgain) {
  service()->startAnalysisUsingLocation(true);
  auto& manager = service()->locationManager();
  manager.injectLocation({1, 2, 3});
  platform::RunLoop::main().advance(1.0);  // the check a second after the fix: fresh
  EXPECT_EQ(manager.startCount(), 1);
  platform::RunLoop::main().advance(400.0);
  manager.injectFailure(platform::kLocationErrorLocationUnknown);
  EXPECT_FALSE(manager.updatingLocation());
  platform::RunLoop::main().advance(1.0);  // the fix is now 401 s old
  EXPECT_EQ(manager.startCount(), 2);
  EXPECT_TRUE(manager.updatingLocation());
}

TEST_F(ServiceTest, TheFreshnessCheckDoesNothingOnceStopped) {
  service()->startAnalysisUsingLocation(true);
  auto& manager = service()->locationManager();
  manager.injectLocation({1, 2, 3});
  platform::RunLoop::main().advance(400.0);
  manager.injectFailure(platform::kLocationErrorLocationUnknown);
  service()->stopAnalysis();
  platform::RunLoop::main().advance(1.0);
  EXPECT_EQ(manager.startCount(), 1);
}

// ---- the application's entry points ----------------------------------------------------------

TEST_F(ServiceTest, TwoRunsOfTheApplicationDeliverTheFirstRunInOrder) {
  setenv("PECKISH_ANALYTICS_KEY", "APPKEY0000000001", 1);
  setenv("PECKISH_ANALYTICS_SECRET", kTestSecret, 1);
  analytics::logAction("before");  // no service yet: nothing happens
  EXPECT_FALSE(Singleton<KXService>::exists());

  // First run, with the server down: launch, Instructions, a game, quit.
  server->stop();
  analytics::startForApplication();
  EXPECT_FALSE(service()->trackLocation());
  const std::string firstSession = service()->session();
  analytics::logAction("instruct");
  analytics::logAction("startGame");
  analytics::stopForApplication();
  postTerminate();
  EXPECT_EQ(service()->threadsStarted(), 0);

  // Second run, server up.
  KXService::purgeShared();
  KXSpeedServer::purgeShared();
  server = std::make_unique<devserver::DevServer>([] {
    devserver::ServerOptions o;
    o.secret = kTestSecret;
    return o;
  }());
  server->start();
  host = "127.0.0.1:" + std::to_string(server->port());
  setenv("PECKISH_ANALYTICS_HOST", host.c_str(), 1);
  analytics::startForApplication();
  ASSERT_TRUE(service()->waitForThreads(10.0));
  EXPECT_THAT(receivedActions(), ElementsAre("Analysis Started", "instruct", "startGame", "Analysis Stopped"));
  for (const auto& e : received()) EXPECT_EQ(e.session, firstSession);
  EXPECT_EQ(server->store().uploads().at(0).key, "APPKEY0000000001");
  EXPECT_THAT(queueActions(), ElementsAre("Analysis Started"));
  platform::RunLoop::main().advance(90.0);
  ASSERT_TRUE(service()->waitForThreads(10.0));
  EXPECT_TRUE(queue().empty());
  unsetenv("PECKISH_ANALYTICS_KEY");
  unsetenv("PECKISH_ANALYTICS_SECRET");
}

}  // namespace
