// The queue file shared with others: another connection holding it locked, a second instance of
// the application on the same data folder, and endings the store refuses for a while.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "analytics/ServiceTestSupport.h"
#include "core/Log.h"
#include "platform/Notifications.h"

extern char** environ;

using namespace peckish;
using namespace peckish::testing;
using ::testing::ElementsAre;
namespace fs = std::filesystem;

namespace {

constexpr const char* kSecondInstanceVariable = "PECKISH_TEST_SECOND_INSTANCE";

void postTerminate() {
  platform::NotificationCenter::defaultCenter().post(platform::kApplicationWillTerminateNotification);
}

// Another connection holding the store file under an exclusive lock until released.
class ExclusiveHolder {
 public:
  explicit ExclusiveHolder(const std::string& path) {
    EXPECT_EQ(sqlite3_open(path.c_str(), &db_), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db_, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db_);
  }
  ~ExclusiveHolder() { release(); }
  void release() {
    if (!db_) return;
    sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(db_);
    db_ = nullptr;
  }

 private:
  sqlite3* db_ = nullptr;
};

class SharedQueueTest : public ServiceWorld {
 protected:
  std::vector<fs::path> asideFiles() const {
    std::vector<fs::path> out;
    for (const auto& e : fs::directory_iterator(fs::path(databasePath()).parent_path()))
      if (e.path().filename().string().find(".damaged-") != std::string::npos) out.push_back(e.path());
    return out;
  }
  // Runs one main-thread call and returns how long it took, in seconds.
  template <class F>
  static double timed(F&& f) {
    const auto start = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  }
};

TEST_F(SharedQueueTest, AQueueLockedWhileTheGameStartsIsKeptAndSentOnceFree) {
  // Three records, one of them left in flight by a process that ended during its exchange.
  storeActions(3, "old", "EARLIER");
  std::int64_t batch = 0;
  ASSERT_EQ(database()->takeOldestActionsInFlight(1, &batch).size(), 1u);
  KXDatabase::purgeShared();

  ExclusiveHolder holder(databasePath());
  LogCapture log;
  // Neither the start nor anything logged meanwhile waits for the lock.
  const double limit = 0.25;  // the store gives up after 20 ms; the rest is a loaded machine's slack
  EXPECT_LT(timed([&] { service()->startAnalysisUsingLocation(false); }), limit);
  EXPECT_LT(timed([&] { service()->logAction("while-locked"); }), limit);
  EXPECT_LT(timed([&] { platform::RunLoop::main().advance(KXService::kUploadInterval); }), limit);
  EXPECT_EQ(service()->threadsStarted(), 0);
  EXPECT_EQ(service()->heldRecords(), 2);

  // The file stays where it is, says so once, and keeps its rows.
  EXPECT_TRUE(asideFiles().empty());
  int told = 0;
  for (const std::string& line : log.lines()) {
    EXPECT_EQ(line.find("damaged"), std::string::npos) << line;
    told += line.find("cannot be read now") != std::string::npos;
  }
  EXPECT_EQ(told, 1) << ::testing::PrintToString(log.lines());
  holder.release();
  EXPECT_THAT(queueActions(), ElementsAre("old1", "old2"));
  EXPECT_EQ(inFlightRows().size(), 1u);

  // The first upload once the lock is gone carries everything, in the order it was logged.
  platform::RunLoop::main().advance(KXService::kUploadInterval);
  ASSERT_TRUE(service()->waitForThreads(10.0));
  EXPECT_THAT(receivedActions(), ElementsAre("old0", "old1", "old2", "Analysis Started", "while-locked"));
  EXPECT_EQ(uploads(), 1u);
  EXPECT_EQ(service()->recoveredAtStart(), 1);
  EXPECT_EQ(service()->heldRecords(), 0);
  EXPECT_TRUE(queue().empty());
  EXPECT_TRUE(inFlightRows().empty());
}

TEST_F(SharedQueueTest, ABatchIsForgottenOnlyOnceItsEndingCommitted) {
  // The exchange ends (delivered, or failed and put back) while another connection holds the
  // file: the batch stays known and in flight, and its ending is done at the next tick.
  struct Case {
    const char* what;
    devserver::FaultMode fault;
  };
  const std::vector<Case> cases = {{"delivered", devserver::FaultMode::None}, {"put back", devserver::FaultMode::Star}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    resetShared();
    const std::string prefix = std::string(c.what).substr(0, 3);
    storeActions(2, prefix);
    GateFlagReader& gate = holdExchanges();
    server->setFault(c.fault);
    service()->startAnalysisUsingLocation(false);
    ASSERT_TRUE(gate.waitUntilEntered(1));
    {
      ExclusiveHolder holder(databasePath());
      gate.open();
      ASSERT_TRUE(service()->waitForThreads(10.0));
      EXPECT_EQ(service()->batchesPending(), 1);
    }
    EXPECT_EQ(inFlightRows().size(), 2u);
    server->setFault(devserver::FaultMode::None);
    platform::RunLoop::main().advance(KXService::kUploadInterval);
    ASSERT_TRUE(service()->waitForThreads(10.0));
    EXPECT_EQ(service()->batchesPending(), 0);
    EXPECT_TRUE(inFlightRows().empty());
    EXPECT_TRUE(queue().empty());
    const auto got = receivedActions();
    EXPECT_EQ(std::count(got.begin(), got.end(), prefix + "0"), 1);
    EXPECT_EQ(std::count(got.begin(), got.end(), prefix + "1"), 1);
  }
}

// Run in a child process by the test below: a second instance of the application on the same data
// folder, started while the first one's upload is on the wire.
TEST(SecondInstanceChild, SendsWhatItTakesAndRestoresNothing) {
  if (!std::getenv(kSecondInstanceVariable)) GTEST_SKIP() << "started by SharedQueueTest only";
  platform::FakeClock clock;
  platform::RunLoop::main().reset();
  platform::RunLoop::main().setClock(&clock);
  platform::LocationManager::setInjectedForTesting(true);
  KXService::setApplicationKey(kTestKey, kTestSecret);
  KXService* service = KXService::sharedService();
  EXPECT_FALSE(service->ownsQueue());
  EXPECT_EQ(service->recoveredAtStart(), 0);
  service->startAnalysisUsingLocation(false);  // takes what waits in the queue
  service->logAction("second");
  ASSERT_TRUE(service->waitForThreads(10.0));
  platform::RunLoop::main().advance(KXService::kUploadInterval);
  ASSERT_TRUE(service->waitForThreads(10.0));
  postTerminate();
  EXPECT_EQ(service->threadsAlive(), 0);
}

TEST_F(SharedQueueTest, ASecondInstanceNeitherResendsNorDisturbsTheOwnersBatch) {
  storeActions(5, "r");
  GateFlagReader& gate = holdExchanges();
  service()->startAnalysisUsingLocation(false);  // r0..r4 on the wire, held
  ASSERT_TRUE(gate.waitUntilEntered(1));
  EXPECT_TRUE(service()->ownsQueue());

  char self[PATH_MAX] = {};
  ASSERT_GT(readlink("/proc/self/exe", self, sizeof self - 1), 0);
  std::string filter = "--gtest_filter=SecondInstanceChild.SendsWhatItTakesAndRestoresNothing";
  char* argv[] = {self, filter.data(), nullptr};
  setenv(kSecondInstanceVariable, "1", 1);
  pid_t pid = 0;
  const int rc = posix_spawn(&pid, self, nullptr, nullptr, argv, environ);
  unsetenv(kSecondInstanceVariable);
  ASSERT_EQ(rc, 0);
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "child status " << status;
  EXPECT_EQ(inFlightRows().size(), 5u);  // the owner's batch is still its own

  gate.open();
  ASSERT_TRUE(service()->waitForThreads(10.0));
  EXPECT_TRUE(inFlightRows().empty());
  // Every record once: the owner's batch and start record, the second instance's start and action.
  std::map<std::string, int> copies;
  for (const auto& e : received()) ++copies[e.session + " " + e.action];
  EXPECT_EQ(copies.size(), 8u) << ::testing::PrintToString(receivedActions());
  for (const auto& [record, n] : copies) EXPECT_EQ(n, 1) << record;
  EXPECT_EQ(received().size(), 8u);
  EXPECT_THAT(queueActions(), ElementsAre("Analysis Stopped"));  // the second instance's, for later
}

}  // namespace
