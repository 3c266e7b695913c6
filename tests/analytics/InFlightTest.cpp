// Batches in flight: rows taken for an upload are kept aside until the exchange is over, and can be
// put back where they came from.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "analytics/KXDatabase.h"
#include "core/Exception.h"

using namespace peckish;
namespace fs = std::filesystem;

namespace {

const std::string kSession = "0123456789ABCDEF0123456789ABCDEF";

class InFlightTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "peckish-inflight-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    root = pattern;
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(root, ec);
  }

  // (id, action) of the queue in id order, read on a second connection.
  std::vector<std::pair<long long, std::string>> queue() {
    std::vector<std::pair<long long, std::string>> out;
    sqlite3* db = nullptr;
    sqlite3_open((root + "/Kestrix/kestrix.sql").c_str(), &db);
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, "SELECT id, action FROM items ORDER BY id", -1, &st, nullptr);
    while (sqlite3_step(st) == SQLITE_ROW) {
      const unsigned char* a = sqlite3_column_text(st, 1);
      out.emplace_back(sqlite3_column_int64(st, 0), a ? reinterpret_cast<const char*>(a) : "");
    }
    sqlite3_finalize(st);
    sqlite3_close(db);
    return out;
  }
  void exec(const std::string& sql) {
    sqlite3* db = nullptr;
    sqlite3_open((root + "/Kestrix/kestrix.sql").c_str(), &db);
    char* err = nullptr;
    EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &err), SQLITE_OK) << (err ? err : "");
    sqlite3_free(err);
    sqlite3_close(db);
  }
  static void store(KXDatabase& db, int n, const std::string& prefix = "a") {
    for (int i = 0; i < n; ++i) db.storeAction(KXAction(prefix + std::to_string(i), kSession));
  }
  static std::vector<std::string> names(const std::vector<Ref<KXRecord>>& records) {
    std::vector<std::string> out;
    for (const auto& r : records) {
      auto a = ref_cast<KXAction>(r);
      out.push_back(a ? a->action() : "<geo>");
    }
    return out;
  }

  std::string root;
};

TEST_F(InFlightTest, TakenRowsAreKeptAsideAndPutBackInTheirOldPlaces) {
  KXDatabase db(root);
  store(db, 7);
  const auto before = queue();
  std::int64_t batch = 0;
  auto taken = db.takeOldestActionsInFlight(5, &batch);
  EXPECT_EQ(names(taken), (std::vector<std::string>{"a0", "a1", "a2", "a3", "a4"}));
  EXPECT_NE(batch, 0);
  EXPECT_EQ(db.numItems(), 2);
  EXPECT_EQ(db.numInFlight(), 5);

  store(db, 1, "new");
  EXPECT_EQ(db.restoreInFlight(batch), 5);
  EXPECT_EQ(db.numInFlight(), 0);
  auto after = queue();
  ASSERT_EQ(after.size(), 8u);
  // The five come back in front of everything, under their old ids, ahead of the newer record.
  for (size_t i = 0; i < before.size(); ++i) EXPECT_EQ(after[i], before[i]) << i;
  EXPECT_EQ(after.back().second, "new0");
}

TEST_F(InFlightTest, EndedBatchesLeaveNothingAndOthersStayInFlight) {
  KXDatabase db(root);
  store(db, 8);
  std::int64_t first = 0, second = 0;
  db.takeOldestActionsInFlight(5, &first);
  db.takeOldestActionsInFlight(5, &second);
  EXPECT_NE(first, second);
  EXPECT_EQ(db.numInFlight(), 8);
  db.endInFlight(first);
  EXPECT_EQ(db.numInFlight(), 3);
  EXPECT_EQ(db.numItems(), 0);
  EXPECT_EQ(db.restoreInFlight(second), 3);
  EXPECT_EQ(names(db.oldestActions(5)), (std::vector<std::string>{"a5", "a6", "a7"}));
}

TEST_F(InFlightTest, AnEmptyQueueGivesNoBatch) {
  KXDatabase db(root);
  std::int64_t batch = 42;
  EXPECT_TRUE(db.takeOldestActionsInFlight(5, &batch).empty());
  EXPECT_EQ(batch, 0);
  EXPECT_EQ(db.numInFlight(), 0);
}

TEST_F(InFlightTest, RowsLeftByAnEarlierProcessAreRecoveredOnNextOpening) {
  std::vector<std::pair<long long, std::string>> before;
  {
    KXDatabase db(root);
    store(db, 6);
    before = queue();
    std::int64_t a = 0, b = 0;
    db.takeOldestActionsInFlight(2, &a);
    db.takeOldestActionsInFlight(2, &b);
    // The process ends here without either exchange finishing.
  }
  KXDatabase db(root);
  EXPECT_EQ(db.numItems(), 2);
  EXPECT_EQ(db.restoreAllInFlight(), 4);
  EXPECT_EQ(queue(), before);
  EXPECT_EQ(db.numInFlight(), 0);
}

TEST_F(InFlightTest, BatchNumbersContinueAfterRowsLeftInFlight) {
  std::int64_t old = 0;
  {
    KXDatabase db(root);
    store(db, 3);
    db.takeOldestActionsInFlight(1, &old);
  }
  KXDatabase db(root);
  std::int64_t fresh = 0;
  db.takeOldestActionsInFlight(1, &fresh);
  EXPECT_GT(fresh, old);
  db.endInFlight(fresh);
  EXPECT_EQ(db.numInFlight(), 1);  // the old batch is untouched
}

TEST_F(InFlightTest, ARestoreKeepsFreeIdsAndGivesNewOnesOnlyWhereTaken) {
  // The queue was made anew while a batch was out (the id counter started again), so two of the
  // batch's ids now belong to newer records. Both ways of putting rows back keep every row.
  struct Case {
    const char* what;
    std::function<int(KXDatabase&, std::int64_t)> restore;
  };
  const std::vector<Case> cases = {
      {"one batch", [](KXDatabase& db, std::int64_t batch) { return db.restoreInFlight(batch); }},
      {"every batch", [](KXDatabase& db, std::int64_t) { return db.restoreAllInFlight(); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove_all(root);
    KXDatabase db(root);
    store(db, 5);
    std::int64_t batch = 0;
    ASSERT_EQ(db.takeOldestActionsInFlight(5, &batch).size(), 5u);
    db.dropTable();
    store(db, 2, "new");  // ids 1 and 2 again
    EXPECT_EQ(c.restore(db, batch), 5);
    EXPECT_EQ(db.numInFlight(), 0);
    using Row = std::pair<long long, std::string>;
    // a2..a4 keep their places; a0 and a1 follow everything under new ids.
    EXPECT_EQ(queue(), (std::vector<Row>{{1, "new0"}, {2, "new1"}, {3, "a2"}, {4, "a3"}, {5, "a4"}, {6, "a0"}, {7, "a1"}}));
  }
}

TEST_F(InFlightTest, ConnectionsSharingTheFileNeverShareABatchNumber) {
  KXDatabase first(root);
  store(first, 6);
  KXDatabase second(root);
  std::int64_t a = 0, b = 0, c = 0;
  first.takeOldestActionsInFlight(2, &a);
  second.takeOldestActionsInFlight(2, &b);
  first.takeOldestActionsInFlight(2, &c);
  EXPECT_NE(a, b);
  EXPECT_NE(b, c);
  EXPECT_NE(a, c);
  // Ending one connection's batch leaves the other's rows in flight.
  first.endInFlight(c);
  first.endInFlight(a);
  EXPECT_EQ(second.numInFlight(), 2);
  EXPECT_EQ(second.restoreInFlight(b), 2);
  EXPECT_EQ(names(second.oldestActions(5)), (std::vector<std::string>{"a2", "a3"}));
}

TEST_F(InFlightTest, RowsOfUnknownTypeAreNotKept) {
  KXDatabase db(root);
  store(db, 1);
  exec("INSERT INTO items (type,time,session) VALUES (7,'1','s')");
  store(db, 1, "b");
  std::int64_t batch = 0;
  auto taken = db.takeOldestActionsInFlight(2, &batch);
  EXPECT_EQ(names(taken), (std::vector<std::string>{"a0"}));
  EXPECT_EQ(db.numInFlight(), 1);  // the unknown row is gone, and b0 was not taken
  EXPECT_EQ(db.numItems(), 1);
}

TEST_F(InFlightTest, AFailedTakeKeepsNothingAside) {
  KXDatabase db(root);
  exec("INSERT INTO items (id,type,time,session,action) VALUES (2147483648,0,'1','s','big')");
  std::int64_t batch = 0;
  EXPECT_THROW(db.takeOldestActionsInFlight(5, &batch), Exception);
  EXPECT_EQ(db.numInFlight(), 0);
  EXPECT_EQ(db.numItems(), 1);
}

TEST_F(InFlightTest, TransactionsCommitOrRollBackAsAWhole) {
  KXDatabase db(root);
  store(db, 2);
  std::int64_t batch = 0;
  auto taken = db.takeOldestActionsInFlight(2, &batch);
  EXPECT_THROW(db.inTransaction([&] {
    db.storeAction(*ref_cast<KXAction>(taken[0]));
    db.endInFlight(batch);
    throw std::runtime_error("interrupted");
  }),
               std::runtime_error);
  EXPECT_EQ(db.numItems(), 0);
  EXPECT_EQ(db.numInFlight(), 2);

  db.inTransaction([&] {
    for (const auto& r : taken) db.storeAction(*ref_cast<KXAction>(r));
    db.endInFlight(batch);
  });
  EXPECT_EQ(db.numItems(), 2);
  EXPECT_EQ(db.numInFlight(), 0);
}

}  // namespace
