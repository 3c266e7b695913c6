#pragma once
// The analytics client's persistent queue: one SQLite file "<documents>/Kestrix/kestrix.sql" with
// the table items, holding action and geo records until they are uploaded. Queue order is id
// order. A damaged file (SQLite reports corruption, or the integrity check names damage) is moved
// aside with one log line and a fresh queue starts; a file that cannot be read for any other reason
// (locked by another connection, an I/O or memory error) stays where it is, with one log line, and
// is checked again at the next use. Every operation holds the store's own recursive lock for its
// whole SQL work.
//
// Every SQLite result other than the one a call expects (SQLITE_OK, SQLITE_ROW, SQLITE_DONE) raises,
// after the lock is released: a file in use (busy, locked) as Exception(KXStoreBusy, ...), anything
// else (a full disk, an I/O error, a read-only file, a broken constraint, damage) as
// Exception(kInternalInconsistency, <message with SQLite's text>). An operation that raised has
// changed nothing: its transaction is rolled back whole. Damage met by any operation (SQLITE_CORRUPT,
// SQLITE_NOTADB) is handled as damage found at the opening, by the next operation: the file is moved
// aside and a fresh queue starts, which that operation then uses.
//
// No operation waits long for the file: the file's locks are waited for until kPatience after the
// operation began (the wait for the store's own lock counted in), after which the operation raises
// Exception(KXStoreBusy, ...) having changed nothing. Callers hold on to what they meant to write
// and try again later.
#include <chrono>
#include <cstdint>
#include <functional>
#include <exception>
#include <mutex>
#include <string>
#include <vector>

#include "analytics/KXRecord.h"
#include "core/Object.h"

struct sqlite3;

namespace peckish {

// Name of the exception raised when the store is in use elsewhere or cannot be read just now.
inline constexpr const char* KXStoreBusy = "KXStoreBusy";
bool KXIsStoreBusy(const std::exception& e) noexcept;

class KXDatabase final : public Object {
 public:
  // The shared store on platform::documentsDirectory(), opened on first use.
  static KXDatabase* sharedDatabase();
  // Tests: close and forget the shared store, so the next sharedDatabase() opens afresh (for
  // example after PECKISH_DATA_DIR changed).
  static void purgeShared();
  // Deletes the store under the documents folder with everything beside it (journal, locks, damaged
  // files moved aside) and its folder; the store must not be open. False when something stayed.
  static bool removeFiles(const std::string& documentsDirectory);

  // Longest wait of one operation for the store (its own lock and the file's).
  static constexpr std::chrono::milliseconds kPatience{20};

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
  // in flight under a new batch number (written to *batch; 0 when nothing was taken). Batch
  // numbers come from a counter in the file, so that processes sharing it never use one twice.
  std::vector<Ref<KXRecord>> takeOldestActionsInFlight(int count, std::int64_t* batch);
  // The exchange of the batch is over: forgets its rows.
  void endInFlight(std::int64_t batch);
  // True when the batch was taken from a file that has since been moved aside as damaged: its rows
  // went with that file, and nothing of it is left to end or put back.
  bool batchOutlivedItsFile(std::int64_t batch);
  // Puts the rows of one batch back into the queue under their original ids, so they return to
  // the places they were taken from, and forgets them. A row whose id has been given to another
  // row since goes to the back of the queue under a new id. Returns the number of rows put back.
  int restoreInFlight(std::int64_t batch);
  // The same for every batch but those in keep (rows left behind by processes that ended during
  // an exchange).
  int restoreAllInFlight(const std::vector<std::int64_t>& keep = {});
  int numInFlight();
  // Runs fn as one transaction under the store's lock: committed when fn returns, rolled back
  // when it throws. When a store operation in it raised, it is rolled back and raises even if fn
  // caught the failure and returned. Inside another transaction fn simply joins it.
  void inTransaction(const std::function<void()>& fn);

  const std::string& databasePath() const noexcept { return path_; }
  // False while the file has not been read yet (it was in use when the store was opened).
  bool ready() const noexcept { return ready_; }

 private:
  class Access;
  class Transaction;
  struct Integrity {
    enum { Sound, Damaged, Unavailable } state = Sound;
    int code = 0;  // the SQLite result that made it unavailable
    std::string why;
  };

  void open();
  // Checks the file and makes the tables; raises KXStoreBusy (one log line the first time) while
  // the file cannot be read, and moves a damaged file aside.
  void makeReady();
  void openConnection();
  Integrity checkIntegrity();
  // Renames the damaged file (and its journal) to kestrix.sql.damaged-<time>; returns the new name.
  std::string moveAside();
  void createInFlightTableIfNeeded();
  // Restores the rows the statement selects (item, batch and the row's columns); returns how many.
  int restoreRows(const char* select, std::int64_t batch, const std::vector<std::int64_t>& keep);
  std::int64_t nextBatchNumber();
  // Raises for the SQLite result rc: KXStoreBusy when the file is in use, otherwise the store error
  // with format and SQLite's message. Remembers damage, and fails the open transaction.
  [[noreturn]] void fail(int rc, const char* format);
  [[noreturn]] void failBusy();
  // Any result but the expected one fails.
  void check(int rc, int expected, const char* format);
  // A transaction left open on the connection (its rollback failed) is rolled back before the next
  // operation, which would otherwise join it and never commit.
  void endStaleTransaction();
  // The single number the statement selects.
  int count(const char* sql);
  static int onBusy(void* self, int count);
  // Prepares, steps and finalises one statement without bindings; fails with the given text when
  // the step does not run to its end.
  void runSchemaStatement(const char* sql, const char* failure);

  std::string documents_;
  std::string path_;
  sqlite3* sqlDatabase_ = nullptr;
  std::recursive_mutex mutex_;
  int depth_ = 0;  // nested operations on this thread
  std::chrono::steady_clock::time_point deadline_{};  // of the outermost operation
  bool ready_ = false;
  bool toldUnavailable_ = false;
  bool damaged_ = false;  // an operation met damage; the next one moves the file aside
  std::string damage_;    // SQLite's words for it
  bool txOpen_ = false;   // a Transaction of the store's is open on the connection
  bool txFailed_ = false;  // and one of its statements failed
  std::int64_t lastBatch_ = 0;  // the highest batch number this connection gave out
  std::int64_t lastBatchOfReplacedFile_ = 0;  // lastBatch_ when a damaged file was last moved aside
};

}  // namespace peckish
