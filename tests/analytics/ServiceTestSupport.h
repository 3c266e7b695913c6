#pragma once
// A service world for tests: a store in a temporary data folder, the development server on a free
// port of 127.0.0.1 as the analytics host, a fake clock on the main run loop, injected location
// services, and helpers that read the queue and what the server received.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "analytics/KXDatabase.h"
#include "analytics/KXReachability.h"
#include "analytics/KXService.h"
#include "analytics/KXSpeedServer.h"
#include "devserver/DevServer.h"
#include "devserver/Store.h"
#include "platform/Location.h"
#include "platform/RunLoop.h"

namespace peckish::testing {

inline constexpr const char* kTestKey = "PECK1234TEST5678";
inline constexpr const char* kTestSecret = "0123456789abcdef0123456789abcdef";

// Holds host-name reachability checks (and so the exchanges behind them) until released; the
// default route always answers at once.
class GateFlagReader final : public ReachabilityFlagReader {
 public:
  bool getFlags(const ReachabilityTarget& target, std::uint32_t& out) override {
    if (target.isAddress()) {
      out = kReachabilityFlagsReachable;
      return true;
    }
    std::unique_lock<std::mutex> lock(mutex_);
    ++entered_;
    changed_.notify_all();
    changed_.wait(lock, [this] { return open_; });
    out = hostFlags_;
    return true;
  }
  // Lets every held and later check through with these flags.
  void open(std::uint32_t hostFlags = kReachabilityFlagsReachable) {
    std::lock_guard<std::mutex> lock(mutex_);
    hostFlags_ = hostFlags;
    open_ = true;
    changed_.notify_all();
  }
  bool waitUntilEntered(int count, double seconds = 10.0) {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, std::chrono::duration<double>(seconds), [&] { return entered_ >= count; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool open_ = false;
  int entered_ = 0;
  std::uint32_t hostFlags_ = kReachabilityFlagsReachable;
};

struct QueueRow {
  long long id = 0;
  int type = 0;
  std::string action;
  std::string session;
};

class ServiceWorld : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (std::filesystem::temp_directory_path() / "peckish-service-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    root = pattern;
    setenv("PECKISH_DATA_DIR", root.c_str(), 1);
    resetShared();
    platform::RunLoop::main().reset();
    platform::RunLoop::main().setClock(&clock);
    platform::LocationManager::setInjectedForTesting(true);
    KXService::setApplicationKey(kTestKey, kTestSecret);

    devserver::ServerOptions options;
    options.secret = kTestSecret;
    options.stallSeconds = 60.0;
    options.hugeBytes = 2u * 1024 * 1024;
    server = std::make_unique<devserver::DevServer>(options);
    server->start();
    host = "127.0.0.1:" + std::to_string(server->port());
    setenv("PECKISH_ANALYTICS_HOST", host.c_str(), 1);
  }

  void TearDown() override {
    if (gate) gate->open(0);
    if (Singleton<KXService>::exists()) {
      EXPECT_TRUE(KXService::sharedService()->waitForThreads(20.0));
    }
    resetShared();
    server.reset();
    platform::RunLoop::main().reset();
    platform::RunLoop::main().setClock(nullptr);
    platform::LocationManager::setInjectedForTesting(false);
    unsetenv("PECKISH_ANALYTICS_HOST");
    unsetenv("PECKISH_DATA_DIR");
    std::error_code ec;
    std::filesystem::remove_all(root, ec);
  }

  static void resetShared() {
    KXService::purgeShared();
    KXSpeedServer::purgeShared();
    KXDatabase::purgeShared();
    KXReachability::purgeShared();
  }

  KXService* service() { return KXService::sharedService(); }
  KXDatabase* database() { return KXDatabase::sharedDatabase(); }
  std::string databasePath() const { return root + "/documents/Kestrix/kestrix.sql"; }

  // Exchanges wait at the reachability check until gate->open().
  GateFlagReader& holdExchanges() {
    gate = std::make_shared<GateFlagReader>();
    KXReachability::sharedReachability()->setFlagReader(gate);
    return *gate;
  }

  void storeActions(int n, const std::string& prefix, const std::string& session = "S") {
    database()->inTransaction([&] {
      for (int i = 0; i < n; ++i) database()->storeAction(KXAction(prefix + std::to_string(i), session));
    });
  }

  // The queue in id order, read on a connection of its own.
  std::vector<QueueRow> queue() const { return rows("SELECT id, type, action, session FROM items ORDER BY id"); }
  std::vector<QueueRow> inFlightRows() const {
    return rows("SELECT item, type, action, session FROM inflight ORDER BY item");
  }
  std::vector<std::string> queueActions() const {
    std::vector<std::string> out;
    for (const QueueRow& r : queue()) out.push_back(r.type == 0 ? r.action : "<geo>");
    return out;
  }

  std::vector<devserver::EventRow> received() { return server->store().events(); }
  std::vector<std::string> receivedActions() {
    std::vector<std::string> out;
    for (const auto& e : received()) out.push_back(e.type == "action" ? e.action : "<" + e.type + ">");
    return out;
  }
  size_t uploads() { return server->store().uploads().size(); }

  // Turns the main run loop (without moving the fake clock) until pred holds.
  static bool pumpUntil(const std::function<bool()>& pred, double seconds = 10.0) {
    auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!pred()) {
      if (std::chrono::steady_clock::now() > end) return false;
      platform::RunLoop::main().runOnce(0.0);
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
  }

  std::string root;
  std::string host;
  platform::FakeClock clock;
  std::unique_ptr<devserver::DevServer> server;
  std::shared_ptr<GateFlagReader> gate;

 private:
  std::vector<QueueRow> rows(const char* sql) const {
    std::vector<QueueRow> out;
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(databasePath().c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
      sqlite3_close(db);
      return out;
    }
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) == SQLITE_OK) {
      while (sqlite3_step(st) == SQLITE_ROW) {
        QueueRow r;
        r.id = sqlite3_column_int64(st, 0);
        r.type = sqlite3_column_int(st, 1);
        auto text = [&](int col) {
          const unsigned char* t = sqlite3_column_text(st, col);
          return t ? std::string(reinterpret_cast<const char*>(t)) : std::string();
        };
        r.action = text(2);
        r.session = text(3);
        out.push_back(r);
      }
    }
    sqlite3_finalize(st);
    sqlite3_close(db);
    return out;
  }
};

}  // namespace peckish::testing
