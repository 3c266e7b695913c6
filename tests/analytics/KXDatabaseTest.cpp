#include <gtest/gtest.h>
#include <sqlite3.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "analytics/KXDatabase.h"
#include "core/Exception.h"

using namespace peckish;
namespace fs = std::filesystem;

namespace {

const std::string kSession = "0123456789ABCDEF0123456789ABCDEF";

class KXDatabaseTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "peckish-store-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    root = pattern;
    documents = root + "/documents";
  }
  void TearDown() override {
    KXDatabase::purgeShared();
    std::error_code ec;
    fs::remove_all(root, ec);
  }

  // Runs SQL on a second connection to the store file.
  void exec(const std::string& sql) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open((documents + "/Kestrix/kestrix.sql").c_str(), &db), SQLITE_OK);
    char* err = nullptr;
    EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &err), SQLITE_OK) << (err ? err : "");
    sqlite3_free(err);
    sqlite3_close(db);
  }
  std::vector<long long> ids() {
    std::vector<long long> out;
    sqlite3* db = nullptr;
    sqlite3_open((documents + "/Kestrix/kestrix.sql").c_str(), &db);
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, "SELECT id FROM items ORDER BY id", -1, &st, nullptr);
    while (sqlite3_step(st) == SQLITE_ROW) out.push_back(sqlite3_column_int64(st, 0));
    sqlite3_finalize(st);
    sqlite3_close(db);
    return out;
  }
  void storeActions(KXDatabase& db, int n, const std::string& prefix = "a") {
    for (int i = 0; i < n; ++i) db.storeAction(KXAction(prefix + std::to_string(i), kSession));
  }
  static std::string actionName(const Ref<KXRecord>& r) {
    auto a = ref_cast<KXAction>(r);
    return a ? a->action() : std::string("<not an action>");
  }

  std::string root;
  std::string documents;
};

TEST_F(KXDatabaseTest, FirstRunCreatesFolderFileAndTable) {
  ASSERT_FALSE(fs::exists(documents));
  KXDatabase db(documents);
  EXPECT_TRUE(fs::is_directory(documents + "/Kestrix"));
  EXPECT_TRUE(fs::is_regular_file(documents + "/Kestrix/kestrix.sql"));
  EXPECT_EQ(db.databasePath(), documents + "/Kestrix/kestrix.sql");
  EXPECT_EQ(db.numItems(), 0);
  EXPECT_TRUE(db.oldestActions(5).empty());
  // The table has the expected columns in order.
  exec("INSERT INTO items (id, type, time, session, action, latitude, longitude, altitude) "
       "VALUES (NULL, 0, 't', 's', 'a', NULL, NULL, NULL)");
  EXPECT_EQ(db.numItems(), 1);
}

TEST_F(KXDatabaseTest, SharedStoreLivesUnderTheDocumentsFolder) {
  const char* old = std::getenv("PECKISH_DATA_DIR");
  std::string saved = old ? old : "";
  setenv("PECKISH_DATA_DIR", root.c_str(), 1);
  KXDatabase* shared = KXDatabase::sharedDatabase();
  EXPECT_EQ(shared, KXDatabase::sharedDatabase());
  EXPECT_EQ(shared->databasePath(), documents + "/Kestrix/kestrix.sql");
  KXDatabase::purgeShared();
  if (old) setenv("PECKISH_DATA_DIR", saved.c_str(), 1);
  else unsetenv("PECKISH_DATA_DIR");
}

TEST_F(KXDatabaseTest, RecordsPersistAcrossOpenings) {
  {
    KXDatabase db(documents);
    storeActions(db, 2);
  }
  KXDatabase again(documents);
  EXPECT_EQ(again.numItems(), 2);
}

TEST_F(KXDatabaseTest, TakingFewerRowsThanAsked) {
  KXDatabase db(documents);
  storeActions(db, 3);
  std::vector<long long> before = ids();
  auto taken = db.oldestActions(5);
  ASSERT_EQ(taken.size(), 3u);
  EXPECT_EQ(actionName(taken[0]), "a0");
  EXPECT_EQ(actionName(taken[1]), "a1");
  EXPECT_EQ(actionName(taken[2]), "a2");
  EXPECT_EQ(before.size(), 3u);
  EXPECT_TRUE(ids().empty());
  EXPECT_EQ(db.numItems(), 0);
  EXPECT_TRUE(db.oldestActions(5).empty());
}

TEST_F(KXDatabaseTest, TakingTheFiveOldestOfEight) {
  KXDatabase db(documents);
  storeActions(db, 8);
  std::vector<long long> all = ids();
  auto taken = db.oldestActions(5);
  ASSERT_EQ(taken.size(), 5u);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(actionName(taken[static_cast<size_t>(i)]), "a" + std::to_string(i));
  EXPECT_EQ(ids(), std::vector<long long>(all.begin() + 5, all.end()));
  EXPECT_EQ(db.numItems(), 3);
}

TEST_F(KXDatabaseTest, RoundTripOfActionAndGeo) {
  KXDatabase db(documents);
  KXAction action("startGame", kSession);
  action.setTimeString("1234567890");
  KXGeo geo(52.5f, 13.25f, -0.1f, kSession);
  geo.setTimeString("1234567891");
  db.storeAction(action);
  db.storeGeo(geo);

  auto taken = db.oldestActions(5);
  ASSERT_EQ(taken.size(), 2u);
  auto a = ref_cast<KXAction>(taken[0]);
  ASSERT_TRUE(a);
  EXPECT_EQ(a->action(), "startGame");
  EXPECT_EQ(a->session(), kSession);
  EXPECT_EQ(a->timeString(), "1234567890");
  EXPECT_EQ(a->json(), action.json());
  auto g = ref_cast<KXGeo>(taken[1]);
  ASSERT_TRUE(g);
  EXPECT_EQ(g->lat(), 52.5f);
  EXPECT_EQ(g->lon(), 13.25f);
  EXPECT_EQ(g->alt(), -0.1f);
  EXPECT_EQ(g->timeString(), "1234567891");
  EXPECT_EQ(g->json(), geo.json());

  // Texts with quotes, non-ASCII and an empty name survive unchanged.
  db.storeAction(KXAction("it's \"caf\xc3\xa9\"", kSession));
  db.storeAction(KXAction("", kSession));
  taken = db.oldestActions(5);
  ASSERT_EQ(taken.size(), 2u);
  EXPECT_EQ(actionName(taken[0]), "it's \"caf\xc3\xa9\"");
  EXPECT_EQ(actionName(taken[1]), "");
}

TEST_F(KXDatabaseTest, RowsOfUnknownTypeAreDeletedAndNotReturned) {
  KXDatabase db(documents);
  storeActions(db, 1);
  exec("INSERT INTO items (type,time,session) VALUES (7,'1','s')");
  exec("INSERT INTO items (type,time,session,action) VALUES (0,'2','s',NULL)");
  storeActions(db, 1, "b");
  auto taken = db.oldestActions(3);
  ASSERT_EQ(taken.size(), 2u);  // the unknown row took one of the three places
  EXPECT_EQ(actionName(taken[0]), "a0");
  EXPECT_EQ(actionName(taken[1]), "");  // a null action reads as empty
  EXPECT_EQ(db.numItems(), 1);
  EXPECT_EQ(actionName(db.oldestActions(1)[0]), "b0");
}

TEST_F(KXDatabaseTest, StoredAgainGoesToTheBack) {
  KXDatabase db(documents);
  storeActions(db, 5);
  auto batch = db.oldestActions(5);
  storeActions(db, 2, "new");
  for (const auto& r : batch) db.storeAction(*ref_cast<KXAction>(r));
  auto all = db.oldestActions(10);
  ASSERT_EQ(all.size(), 7u);
  EXPECT_EQ(actionName(all[0]), "new0");
  EXPECT_EQ(actionName(all[1]), "new1");
  EXPECT_EQ(actionName(all[2]), "a0");
  EXPECT_EQ(actionName(all[6]), "a4");
}

TEST_F(KXDatabaseTest, DropTableEmptiesAndRecreates) {
  KXDatabase db(documents);
  storeActions(db, 4);
  db.dropTable();
  EXPECT_EQ(db.numItems(), 0);
  storeActions(db, 1);
  EXPECT_EQ(db.numItems(), 1);
}

TEST_F(KXDatabaseTest, IdsBeyondThirtyTwoBitsAreRefusedNotWrapped) {
  KXDatabase db(documents);
  exec("INSERT INTO items (id,type,time,session,action) VALUES (2147483648,0,'1','s','big')");
  try {
    db.oldestActions(5);
    FAIL() << "no report";
  } catch (const Exception& e) {
    EXPECT_EQ(e.name(), kInternalInconsistency);
    EXPECT_EQ(e.reason(), "Error: item id 2147483648 is outside the 32-bit range.");
  }
  // Nothing was taken; the lock was released.
  EXPECT_EQ(db.numItems(), 1);
  exec("DELETE FROM items");
  exec("INSERT INTO items (id,type,time,session,action) VALUES (2147483647,0,'1','s','max')");
  auto taken = db.oldestActions(5);
  ASSERT_EQ(taken.size(), 1u);
  EXPECT_EQ(actionName(taken[0]), "max");
  EXPECT_EQ(db.numItems(), 0);
}

TEST_F(KXDatabaseTest, FailuresRaiseWithTheStoreMessageAndReleaseTheLock) {
  KXDatabase db(documents);
  exec("DROP TABLE items");
  try {
    db.storeAction(KXAction("x", kSession));
    FAIL() << "no report";
  } catch (const Exception& e) {
    EXPECT_EQ(e.name(), kInternalInconsistency);
    // The connection notices the dropped table while stepping the insert.
    EXPECT_EQ(e.reason(), "Error: failed to inser item with message 'no such table: items'.");
  }
  try {
    db.numItems();
    FAIL() << "no report";
  } catch (const Exception& e) {
    EXPECT_EQ(e.reason(), "Error: failed to prepare statement with message 'no such table: items'.");
  }
  EXPECT_THROW(db.oldestActions(1), Exception);
  // Another thread can still take the lock.
  std::thread other([&] {
    db.createTableIfNeeded();
    db.storeAction(KXAction("after", kSession));
  });
  other.join();
  EXPECT_EQ(db.numItems(), 1);
}

TEST_F(KXDatabaseTest, UnusableStoreFolderIsReported) {
  fs::create_directories(documents);
  std::ofstream(documents + "/Kestrix") << "not a folder";
  try {
    KXDatabase db(documents);
    FAIL() << "opened";
  } catch (const Exception& e) {
    EXPECT_EQ(e.name(), kInternalInconsistency);
    EXPECT_EQ(e.reason(), "Failed to create kestrix directory.");
  }
}

TEST_F(KXDatabaseTest, ConcurrentStoresAndTakesLoseAndDuplicateNothing) {
  KXDatabase db(documents);
  constexpr int kWriters = 3, kPerWriter = 25;
  std::atomic<int> writersDone{0};
  std::vector<std::string> taken;
  std::mutex takenMutex;
  std::vector<std::thread> threads;
  for (int w = 0; w < kWriters; ++w)
    threads.emplace_back([&, w] {
      for (int i = 0; i < kPerWriter; ++i) db.storeAction(KXAction("w" + std::to_string(w) + "-" + std::to_string(i), kSession));
      ++writersDone;
    });
  for (int t = 0; t < 2; ++t)
    threads.emplace_back([&] {
      for (;;) {
        bool done = writersDone.load() == kWriters;
        auto batch = db.oldestActions(5);
        {
          std::lock_guard<std::mutex> lock(takenMutex);
          for (const auto& r : batch) taken.push_back(actionName(r));
        }
        if (batch.empty() && done) break;
      }
    });
  for (auto& t : threads) t.join();
  std::set<std::string> unique(taken.begin(), taken.end());
  EXPECT_EQ(taken.size(), static_cast<size_t>(kWriters * kPerWriter));
  EXPECT_EQ(unique.size(), taken.size());
  EXPECT_EQ(db.numItems(), 0);
}

}  // namespace
