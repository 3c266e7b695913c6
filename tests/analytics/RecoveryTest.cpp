// Batches in flight when the application ends: written back at termination, and recovered by the
// next process after a crash. Nothing is lost, nothing is put back twice.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <string>
#include <thread>
#include <vector>

#include "core/Log.h"
#include "platform/Notifications.h"
#include "analytics/ServiceTestSupport.h"

extern char** environ;

using namespace peckish;
using namespace peckish::testing;
using ::testing::ElementsAre;

namespace {

constexpr const char* kCrashChildVariable = "PECKISH_TEST_CRASH_CHILD";

class RecoveryTest : public ServiceWorld {
 protected:
  static void postTerminate() {
    platform::NotificationCenter::defaultCenter().post(platform::kApplicationWillTerminateNotification);
  }
  std::vector<long long> ids() {
    std::vector<long long> out;
    for (const QueueRow& r : queue()) out.push_back(r.id);
    return out;
  }
};

TEST_F(RecoveryTest, TerminationWritesTheBatchInFlightBackToItsPlace) {
  storeActions(5, "r");
  const auto before = ids();
  GateFlagReader& gate = holdExchanges();
  service()->startAnalysisUsingLocation(false);
  ASSERT_TRUE(gate.waitUntilEntered(1));
  EXPECT_EQ(inFlightRows().size(), 5u);
  EXPECT_EQ(service()->uploadsInFlight(), 1);

  postTerminate();
  EXPECT_THAT(queueActions(), ElementsAre("r0", "r1", "r2", "r3", "r4", "Analysis Started", "Analysis Stopped"));
  auto after = ids();
  EXPECT_TRUE(std::equal(before.begin(), before.end(), after.begin()));  // the same ids, in front
  EXPECT_TRUE(inFlightRows().empty());
  EXPECT_EQ(service()->uploadsInFlight(), 0);

  // The exchange was cancelled at termination: once the held check lets it go on, it sends
  // nothing, and the queue keeps the batch for the next run.
  gate.open();
  ASSERT_TRUE(service()->waitForThreads(10.0));
  EXPECT_TRUE(receivedActions().empty());
  EXPECT_EQ(queue().size(), 7u);
  EXPECT_TRUE(inFlightRows().empty());
}

TEST_F(RecoveryTest, AnAnswerArrivingWhileTerminationWritesBackLeavesTheBatchInOnePlace) {
  storeActions(5, "r");
  GateFlagReader& gate = holdExchanges();
  service()->startAnalysisUsingLocation(false);
  ASSERT_TRUE(gate.waitUntilEntered(1));
  // A record held while another connection had the file, which the store then refuses: the exit
  // keeps trying it for a while after the batch was written back.
  sqlite3* other = nullptr;
  ASSERT_EQ(sqlite3_open(databasePath().c_str(), &other), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
  service()->logAction("refused");
  sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
  ASSERT_EQ(service()->heldRecords(), 1);
  ASSERT_EQ(sqlite3_exec(other,
                         "CREATE TRIGGER refuse BEFORE INSERT ON items WHEN NEW.action = 'refused' BEGIN "
                         "SELECT abs(CASE WHEN NEW.action = 'refused' THEN -9223372036854775808 ELSE 0 END); END",
                         nullptr, nullptr, nullptr),
            SQLITE_OK);
  sqlite3_close(other);

  // The answer to the batch's exchange can come as soon as the batch is back in the queue.
  std::thread answer([&] {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    // One read of the queue a turn: it changes under us, so empty() and front() must see the same rows.
    for (auto rows = queue(); rows.empty() || rows.front().action != "r0"; rows = queue()) {
      if (std::chrono::steady_clock::now() > end) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    gate.open();
  });
  LogCapture log;
  postTerminate();
  answer.join();
  ASSERT_TRUE(service()->waitForThreads(10.0));

  const auto got = receivedActions();
  const auto queued = queueActions();
  for (const std::string name : {"r0", "r1", "r2", "r3", "r4"})
    EXPECT_EQ(std::count(got.begin(), got.end(), name) + std::count(queued.begin(), queued.end(), name), 1) << name;
  EXPECT_TRUE(inFlightRows().empty());
  // What the store never took is counted once: the refused record and the stop logged behind it.
  int told = 0;
  for (const std::string& line : log.lines()) told += line.find("2 records are not kept") != std::string::npos;
  EXPECT_EQ(told, 1) << ::testing::PrintToString(log.lines());
}

TEST_F(RecoveryTest, AnExchangeThatFailsAfterTerminationPutsNothingBackTwice) {
  storeActions(5, "r");
  GateFlagReader& gate = holdExchanges();
  service()->startAnalysisUsingLocation(false);
  ASSERT_TRUE(gate.waitUntilEntered(1));
  postTerminate();
  gate.open(0);
  ASSERT_TRUE(service()->waitForThreads(10.0));
  EXPECT_THAT(queueActions(), ElementsAre("r0", "r1", "r2", "r3", "r4", "Analysis Started", "Analysis Stopped"));
  EXPECT_TRUE(inFlightRows().empty());
}

TEST_F(RecoveryTest, UploadsStartedAfterAFailureAreTrackedApart) {
  // Two batches in flight at once; each failure puts back its own batch and ends only its own.
  storeActions(10, "r");
  GateFlagReader& gate = holdExchanges();
  service()->startAnalysisUsingLocation(false);  // r0..r4
  ASSERT_TRUE(gate.waitUntilEntered(1));
  platform::RunLoop::main().advance(90.0);  // r5..r9, waiting for the transport
  EXPECT_EQ(service()->uploadsInFlight(), 2);
  EXPECT_EQ(inFlightRows().size(), 10u);
  server->setFault(devserver::FaultMode::Star);
  gate.open();
  ASSERT_TRUE(service()->waitForThreads(10.0));
  EXPECT_TRUE(inFlightRows().empty());
  EXPECT_EQ(queue().size(), 11u);  // both batches back behind "Analysis Started"
  EXPECT_EQ(queueActions().front(), "Analysis Started");
}

TEST_F(RecoveryTest, TerminationDuringAStalledUploadLeavesNoThreadRunning) {
  storeActions(5, "r");
  server->setFault(devserver::FaultMode::Stall);
  GateFlagReader& gate = holdExchanges();
  service()->startAnalysisUsingLocation(false);
  // Past the reachability check, the exchange goes to a server that holds back its answer (and
  // whether or not the exchange has begun when the application ends, it must end with it).
  ASSERT_TRUE(gate.waitUntilEntered(1));
  gate.open();
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  // And an ad request waits for a first location fix that never comes.
  service()->requestAdUsingLocation(true);
  ASSERT_TRUE(pumpUntil([&] { return service()->locationManager().updatingLocation(); }));

  const auto start = std::chrono::steady_clock::now();
  postTerminate();
  const double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_EQ(service()->threadsAlive(), 0);
  EXPECT_TRUE(service()->waitForThreads(0.0));
  EXPECT_LT(took, 1.5);
  EXPECT_THAT(queueActions(), ElementsAre("r0", "r1", "r2", "r3", "r4", "Analysis Started", "Analysis Stopped"));
  EXPECT_TRUE(inFlightRows().empty());
}

// Run in a child process by the test below: dies while its first upload is in the middle of the
// exchange.
TEST(ServiceCrashChild, DiesDuringAnExchange) {
  if (!std::getenv(kCrashChildVariable)) GTEST_SKIP() << "started by RecoveryTest only";
  platform::LocationManager::setInjectedForTesting(true);
  KXService::setApplicationKey(kTestKey, kTestSecret);
  for (int i = 0; i < 5; ++i) KXDatabase::sharedDatabase()->storeAction(KXAction("r" + std::to_string(i), "CRASHED"));
  auto gate = std::make_shared<GateFlagReader>();
  KXReachability::sharedReachability()->setFlagReader(gate);
  KXService::sharedService()->startAnalysisUsingLocation(false);
  ASSERT_TRUE(gate->waitUntilEntered(1));
  raise(SIGKILL);
}

TEST_F(RecoveryTest, TheBatchOfAProcessThatDiedMidExchangeIsSentByTheNext) {
  char self[PATH_MAX] = {};
  ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
  ASSERT_GT(n, 0);
  std::string filter = "--gtest_filter=ServiceCrashChild.DiesDuringAnExchange";
  char* argv[] = {self, filter.data(), nullptr};
  setenv(kCrashChildVariable, "1", 1);
  pid_t pid = 0;
  int rc = posix_spawn(&pid, self, nullptr, nullptr, argv, environ);
  unsetenv(kCrashChildVariable);
  ASSERT_EQ(rc, 0);
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << "child status " << status;

  // The dead process left its batch in flight and its start record in the queue.
  EXPECT_THAT(queueActions(), ElementsAre("Analysis Started"));
  EXPECT_EQ(inFlightRows().size(), 5u);

  EXPECT_EQ(service()->recoveredAtStart(), 5);
  EXPECT_THAT(queueActions(), ElementsAre("r0", "r1", "r2", "r3", "r4", "Analysis Started"));
  EXPECT_TRUE(inFlightRows().empty());
  service()->startAnalysisUsingLocation(false);
  ASSERT_TRUE(service()->waitForThreads(10.0));
  EXPECT_THAT(receivedActions(), ElementsAre("r0", "r1", "r2", "r3", "r4"));
  for (const auto& e : received()) EXPECT_EQ(e.session, "CRASHED");
  ASSERT_EQ(queue().size(), 2u);
  EXPECT_NE(queue()[0].session, queue()[1].session);  // each process's own start record
}

}  // namespace
