#pragma once
// The analytics client's persistent queue: one SQLite file "<documents>/Kestrix/kestrix.sql" with
// the table items, holding action and geo records until they are uploaded. Queue order is id
// order. A damaged file found at opening is moved aside (one log line) and a fresh queue starts. Every operation holds the store's own recursive lock for its whole SQL work; failures
// raise Exception(kInternalInconsistency, <message>) after the lock is released.
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "analytics/KXRecord.h"
#include "core/Object.h"

struct sqlite3;

namespace peckish {

class KXDatabase final : public Object {
 public:
  // The shared store on platform::documentsDirectory(), opened on first use.
  static KXDatabase* sharedDatabase();
  // Tests: close and forget the shared store, so the next sharedDatabase() opens afresh (for
  // example after PECKISH_DATA_DIR changed).
  static void purgeShared();

  // Opens (creating if need be) the store under platform::documentsDirectory().
  KXDatabase();
  // Opens the store under the given documents folder.
  explicit KXDatabase(std::string documentsDirectory);
  ~KXDatabase() override;

  void createDatabaseDirectory();
  void createTableIfNeeded();
  void dropTable();

  void storeAction(const KXAction& action);
  void storeGeo(const KXGeo& geo);
  // Takes up to count records off the front of the queue: they are returned oldest first and
  // deleted in the same locked operation. Rows of an unknown type are deleted without a record.
  std::vector<Ref<KXRecord>> oldestActions(int count);
  int numItems();

  // Batches in flight. A batch taken for an upload keeps a copy of its rows in the side table
  // inflight until its exchange is over, so records of an exchange the process never finished
  // are not lost.
  //
  // Takes up to count records like oldestActions and, in the same transaction, keeps their rows
  // in flight under a new batch number (written to *batch; 0 when nothing was taken).
  std::vector<Ref<KXRecord>> takeOldestActionsInFlight(int count, std::int64_t* batch);
  // The exchange of the batch is over: forgets its rows.
  void endInFlight(std::int64_t batch);
  // Puts the rows of one batch back into the queue under their original ids, so they return to
  // the places they were taken from, and forgets them. Returns the number of rows put back.
  int restoreInFlight(std::int64_t batch);
  // The same for every batch (rows left behind by a process that ended during an exchange).
  int restoreAllInFlight();
  int numInFlight();
  // Runs fn as one transaction under the store's lock: committed when fn returns, rolled back
  // when it throws. Inside another transaction fn simply joins it.
  void inTransaction(const std::function<void()>& fn);

  const std::string& databasePath() const noexcept { return path_; }
  // The store's lock, for callers that need several operations as one.
  std::recursive_mutex& lock() noexcept { return mutex_; }

 private:
  void open();
  // Empty when the open file reads as a sound database, else what is wrong with it.
  std::string checkIntegrity();
  // Renames the damaged file (and its journal) to kestrix.sql.damaged-<time>; returns the new name.
  std::string moveAside();
  void createInFlightTableIfNeeded();
  int restore(const char* sql, std::int64_t batch);
  class Transaction;
  [[noreturn]] void fail(const char* format);
  // Prepares, steps and finalises one statement without bindings; fails with the given text when
  // the step reports an error.
  void runSchemaStatement(const char* sql, const char* failure);

  std::string documents_;
  std::string path_;
  sqlite3* sqlDatabase_ = nullptr;
  std::recursive_mutex mutex_;
  std::int64_t nextBatch_ = 0;  // 0: not read from the side table yet
};

}  // namespace peckish
