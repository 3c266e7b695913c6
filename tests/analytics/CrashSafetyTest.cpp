// The queue survives the process dying at any moment: a child logs actions and uploads them to the
// development server until it is killed (SIGKILL) at a random moment, round after round. Every
// action it reported as logged must then have reached the server or still be queued; a record may
// reach the server twice only when its batch was in the middle of an exchange at a kill. A damaged
// queue file is put aside and the next run starts with a fresh queue.
#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "analytics/ServiceTestSupport.h"
#include "core/Log.h"

extern char** environ;

using namespace peckish;
using namespace peckish::testing;
namespace fs = std::filesystem;

namespace {

constexpr const char* kChildVariable = "PECKISH_TEST_CRASH_LOOP_CHILD";
constexpr const char* kLoggedPrefix = "logged ";

// Run in a child process by the tests below: logs "<round>-<n>" actions, reports each one on
// standard output once logAction has returned, and lets the upload timer fire every few actions,
// until it is killed. It stays well below the store's limit of 100 records.
TEST(AnalyticsCrashLoopChild, LogsAndUploadsUntilKilled) {
  const char* round = std::getenv(kChildVariable);
  if (!round) GTEST_SKIP() << "started by the crash-safety tests only";
  platform::FakeClock clock;
  platform::RunLoop::main().reset();
  platform::RunLoop::main().setClock(&clock);
  platform::LocationManager::setInjectedForTesting(true);
  KXService::setApplicationKey(kTestKey, kTestSecret);
  KXService* service = KXService::sharedService();
  service->startAnalysisUsingLocation(false);
  std::printf("%sstarted\n", kLoggedPrefix);
  std::fflush(stdout);
  for (int i = 0;; ++i) {
    if (i < 400) {
      const std::string name = std::string(round) + "-" + std::to_string(i);
      service->logAction(name);
      std::printf("%s%s\n", kLoggedPrefix, name.c_str());
      std::fflush(stdout);
    }
    if (i % 4 == 3) platform::RunLoop::main().advance(KXService::kUploadInterval);
    platform::RunLoop::main().runOnce(0.0);
    usleep(3000);
  }
}

class CrashSafetyTest : public ServiceWorld {
 protected:
  struct Child {
    pid_t pid = -1;
    int out = -1;
    std::string buffer;
    std::vector<std::string> logged;
    bool started = false;
  };

  Child spawnChild(const std::string& round) {
    Child c;
    char self[PATH_MAX] = {};
    ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    EXPECT_GT(n, 0);
    int fds[2];
    EXPECT_EQ(pipe2(fds, O_CLOEXEC), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    std::string filter = "--gtest_filter=AnalyticsCrashLoopChild.LogsAndUploadsUntilKilled";
    char* argv[] = {self, filter.data(), nullptr};
    setenv(kChildVariable, round.c_str(), 1);
    int rc = posix_spawn(&c.pid, self, &actions, nullptr, argv, environ);
    unsetenv(kChildVariable);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    EXPECT_EQ(rc, 0);
    c.out = fds[0];
    return c;
  }

  // Reads what the child reported, waiting up to timeoutMs for something new.
  static void readReports(Child& c, int timeoutMs) {
    pollfd p{c.out, POLLIN, 0};
    if (poll(&p, 1, timeoutMs) <= 0) return;
    char buf[4096];
    ssize_t got = read(c.out, buf, sizeof buf);
    if (got <= 0) return;
    c.buffer.append(buf, static_cast<size_t>(got));
    size_t nl;
    while ((nl = c.buffer.find('\n')) != std::string::npos) {
      std::string line = c.buffer.substr(0, nl);
      c.buffer.erase(0, nl + 1);
      if (line.rfind(kLoggedPrefix, 0) != 0) continue;
      std::string name = line.substr(std::char_traits<char>::length(kLoggedPrefix));
      if (name == "started") c.started = true;
      else c.logged.push_back(name);
    }
  }

  // Waits until the child is running its loop, lets it work for the given time and kills it.
  // Returns false when the child never came up.
  bool runAndKill(Child& c, int workMs) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!c.started && std::chrono::steady_clock::now() < deadline) readReports(c, 100);
    const bool started = c.started;
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(workMs);
    while (started && std::chrono::steady_clock::now() < end) readReports(c, 5);
    kill(c.pid, SIGKILL);
    int status = 0;
    waitpid(c.pid, &status, 0);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << "child status " << status;
    // Everything it wrote before dying is still in the pipe.
    for (;;) {
      size_t before = c.logged.size() + c.buffer.size();
      readReports(c, 0);
      if (c.logged.size() + c.buffer.size() == before) break;
    }
    close(c.out);
    return started;
  }
};

TEST_F(CrashSafetyTest, NothingLoggedBeforeAKillIsLost) {
  const unsigned seed = static_cast<unsigned>(std::chrono::steady_clock::now().time_since_epoch().count());
  SCOPED_TRACE("seed " + std::to_string(seed));
  std::mt19937 random(seed);
  std::uniform_int_distribution<int> workMs(30, 500);

  std::vector<std::string> logged;
  constexpr int kRounds = 8;
  for (int round = 0; round < kRounds; ++round) {
    Child c = spawnChild("r" + std::to_string(round));
    ASSERT_TRUE(runAndKill(c, workMs(random))) << "round " << round << " never started";
    logged.insert(logged.end(), c.logged.begin(), c.logged.end());
  }
  ASSERT_FALSE(logged.empty());

  // A kill in the middle of a write leaves a journal that the next connection able to write
  // rolls back; open the store once as the next run would before reading it read-only.
  { KXDatabase(root + "/documents").numItems(); }

  // Delivered, or still waiting in the queue (in flight rows go back at the next start).
  const std::vector<devserver::EventRow> events = received();
  std::set<std::string> deliveredNames;
  std::map<std::string, std::vector<const devserver::EventRow*>> byRecord;  // session, action, time
  for (const auto& e : events) {
    if (e.type != "action") continue;
    deliveredNames.insert(e.action);
    byRecord[e.session + "|" + e.action + "|" + e.time].push_back(&e);
  }
  std::multiset<std::string> queued;
  for (const QueueRow& r : queue()) queued.insert(r.action);
  for (const QueueRow& r : inFlightRows()) queued.insert(r.action);
  int delivered = 0;
  for (const std::string& name : logged) {
    const bool sent = deliveredNames.count(name) > 0;
    delivered += sent;
    EXPECT_TRUE(sent || queued.count(name) > 0) << name << " was lost";
  }
  EXPECT_GT(delivered, 0) << "no upload got through";

  // A record reaches the server twice only from a batch cut off by a kill: the exchange arrived
  // but its end was never recorded, so the whole batch went back and was sent again (or still
  // waits). Each kill cuts off at most the exchange on the wire and one whose end was pending.
  std::map<std::int64_t, std::vector<const devserver::EventRow*>> uploads;
  for (const auto& e : events) uploads[e.upload].push_back(&e);
  std::set<std::int64_t> cutOff;
  for (const auto& [record, copies] : byRecord) {
    // Every copy but the last came from an exchange a kill cut off (a batch can be cut off again
    // by the next kill).
    EXPECT_LE(copies.size(), static_cast<size_t>(kRounds)) << record;
    for (size_t i = 0; i + 1 < copies.size(); ++i) cutOff.insert(copies[i]->upload);
  }
  for (std::int64_t upload : cutOff) {
    for (const devserver::EventRow* e : uploads[upload]) {
      if (e->type != "action") continue;
      const auto& copies = byRecord[e->session + "|" + e->action + "|" + e->time];
      const bool again = copies.back()->upload > upload || queued.count(e->action) > 0;
      EXPECT_TRUE(again) << "upload " << upload << " was sent again only in part (" << e->action << ")";
    }
  }
  EXPECT_LE(cutOff.size(), static_cast<size_t>(2 * kRounds));

  // The next ordinary run sends what was left behind.
  const int waiting = static_cast<int>(queue().size() + inFlightRows().size());
  service()->startAnalysisUsingLocation(false);
  for (int i = 0; i * KXService::kBatchSize < waiting + 1; ++i) {
    platform::RunLoop::main().advance(KXService::kUploadInterval);
    ASSERT_TRUE(service()->waitForThreads(20.0));
  }
  std::set<std::string> now;
  for (const auto& e : received()) now.insert(e.action);
  for (const std::string& name : logged) EXPECT_TRUE(now.count(name)) << name << " never arrived";
}

// ---- a damaged queue file --------------------------------------------------------------------

std::string documentsOf(const std::string& root) { return root + "/documents"; }

std::vector<fs::path> damagedFiles(const std::string& root) {
  std::vector<fs::path> out;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(documentsOf(root) + "/Kestrix", ec))
    if (e.path().filename().string().rfind("kestrix.sql.damaged-", 0) == 0 &&
        e.path().filename().string().find("-journal") == std::string::npos)
      out.push_back(e.path());
  return out;
}

void fillQueue(const std::string& documents, int rows) {
  KXDatabase db(documents);
  db.inTransaction([&] {
    for (int i = 0; i < rows; ++i) db.storeAction(KXAction("padding-" + std::string(200, 'x') + std::to_string(i), "S"));
  });
}

class DamagedQueueTest : public ServiceWorld {};

TEST_F(DamagedQueueTest, GarbageTruncationAndOverwrittenPagesAreMovedAsideOnce) {
  struct Damage {
    const char* what;
    std::function<void(const std::string& file)> apply;
  };
  const std::vector<Damage> damages = {
      {"not a database", [](const std::string& f) { std::ofstream(f, std::ios::trunc) << "this is no database\n"; }},
      {"cut short",
       [](const std::string& f) { fs::resize_file(f, fs::file_size(f) / 2 + 100); }},
      {"pages overwritten",
       [](const std::string& f) {
         std::fstream s(f, std::ios::in | std::ios::out | std::ios::binary);
         s.seekp(4096 + 10);
         const std::string junk(3000, '\x5a');
         s.write(junk.data(), static_cast<std::streamsize>(junk.size()));
       }},
  };
  const std::string documents = documentsOf(root);
  const std::string file = databasePath();
  for (const Damage& d : damages) {
    SCOPED_TRACE(d.what);
    std::error_code ec;
    fs::remove_all(documents, ec);
    fillQueue(documents, 60);
    d.apply(file);
    const auto sizeBefore = fs::file_size(file);

    LogCapture log;
    {
      KXDatabase db(documents);
      EXPECT_EQ(db.numItems(), 0);
      db.storeAction(KXAction("fresh", "S"));
      EXPECT_EQ(db.numItems(), 1);
    }
    int lines = 0;
    for (const std::string& l : log.lines())
      if (l.find("damaged") != std::string::npos && l.find("kestrix.sql") != std::string::npos) ++lines;
    EXPECT_EQ(lines, 1);
    auto aside = damagedFiles(root);
    ASSERT_EQ(aside.size(), 1u);
    EXPECT_EQ(fs::file_size(aside[0]), sizeBefore);  // kept as it was, for a look later

    // The fresh queue is sound: the next opening keeps it and says nothing.
    log.clear();
    KXDatabase again(documents);
    EXPECT_EQ(again.numItems(), 1);
    EXPECT_TRUE(log.lines().empty());
    EXPECT_EQ(damagedFiles(root).size(), 1u);
  }
}

TEST_F(DamagedQueueTest, AnEmptyFileIsANewQueueNotADamagedOne) {
  fs::create_directories(documentsOf(root) + "/Kestrix");
  std::ofstream(databasePath()).flush();
  LogCapture log;
  KXDatabase db(documentsOf(root));
  EXPECT_EQ(db.numItems(), 0);
  EXPECT_TRUE(damagedFiles(root).empty());
  EXPECT_TRUE(log.lines().empty());
}

TEST_F(DamagedQueueTest, TheApplicationStartsOnADamagedQueueAndUploadsAgain) {
  fillQueue(documentsOf(root), 10);
  std::ofstream(databasePath(), std::ios::trunc) << std::string(5000, '\x01');
  // A whole process: it comes up, logs and uploads instead of failing on every start.
  service()->startAnalysisUsingLocation(false);
  service()->logAction("after-damage");
  EXPECT_EQ(damagedFiles(root).size(), 1u);
  for (int i = 0; i < 2; ++i) {
    platform::RunLoop::main().advance(KXService::kUploadInterval);
    ASSERT_TRUE(service()->waitForThreads(20.0));
  }
  EXPECT_THAT(receivedActions(), ::testing::ElementsAre("Analysis Started", "after-damage"));
}

}  // namespace
