#include "analytics/KXDatabase.h"

#include <sqlite3.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <thread>

#include "core/Exception.h"
#include "core/Log.h"
#include "platform/Paths.h"

namespace peckish {

namespace {
constexpr const char* kCreateTable =
    "CREATE TABLE IF NOT EXISTS items (id INTEGER NOT NULL PRIMARY KEY AUTOINCREMENT, type INTEGER NOT NULL, "
    "time TEXT NOT NULL,session TEXT NOT NULL, action TEXT, latitude REAL, longitude REAL, altitude REAL)";
constexpr const char* kDropTable = "DROP TABLE items";
constexpr const char* kInsertAction = "INSERT INTO items ( type,time,session,action ) VALUES (?,?,?,?)";
constexpr const char* kInsertGeo =
    "INSERT INTO items (type,time,session,latitude,longitude,altitude ) VALUES (?,?,?,?,?,?)";
constexpr const char* kSelectOldest = "SELECT * FROM items ORDER BY id LIMIT ?";
constexpr const char* kDeletePrefix = "DELETE FROM items WHERE id IN (";
constexpr const char* kCount = "SELECT count(id) FROM items";

constexpr const char* kCreateInFlight =
    "CREATE TABLE IF NOT EXISTS inflight (item INTEGER NOT NULL PRIMARY KEY, batch INTEGER NOT NULL, "
    "type INTEGER NOT NULL, time TEXT NOT NULL, session TEXT NOT NULL, action TEXT, latitude REAL, "
    "longitude REAL, altitude REAL)";
// The same rows oldestActions takes (the select-oldest order and limit), known types only.
constexpr const char* kKeepInFlight =
    "INSERT INTO inflight (item,batch,type,time,session,action,latitude,longitude,altitude) "
    "SELECT id,?,type,time,session,action,latitude,longitude,altitude FROM items "
    "WHERE id IN (SELECT id FROM items ORDER BY id LIMIT ?) AND type IN (0,1)";
constexpr const char* kSelectBatch =
    "SELECT item,batch,type,time,session,action,latitude,longitude,altitude FROM inflight WHERE batch = ?1 "
    "ORDER BY item";
constexpr const char* kSelectAllInFlight =
    "SELECT item,batch,type,time,session,action,latitude,longitude,altitude FROM inflight ORDER BY item";
// Under the old id where it is free; the rows whose id is taken follow under new ones.
constexpr const char* kRestoreInPlace =
    "INSERT OR IGNORE INTO items (id,type,time,session,action,latitude,longitude,altitude) "
    "VALUES (?1,?2,?3,?4,?5,?6,?7,?8)";
constexpr const char* kRestoreAtBack =
    "INSERT INTO items (type,time,session,action,latitude,longitude,altitude) "
    "SELECT type,time,session,action,latitude,longitude,altitude FROM inflight WHERE item = ?1";
constexpr const char* kForgetItem = "DELETE FROM inflight WHERE item = ?1";
constexpr const char* kForgetBatch = "DELETE FROM inflight WHERE batch = ?1";
constexpr const char* kCountInFlight = "SELECT count(item) FROM inflight";
// The last batch number given out by any process; it only grows, also past rows left in flight by
// files written before the counter existed.
constexpr const char* kCreateBatchCounter = "CREATE TABLE IF NOT EXISTS batchcounter (last INTEGER NOT NULL)";
constexpr const char* kSeedBatchCounter =
    "INSERT INTO batchcounter (last) SELECT 0 WHERE NOT EXISTS (SELECT 1 FROM batchcounter)";
// ?1 is the last number this connection gave out, so that a fresh file made after damage does not
// hand out again the numbers of batches taken from the file it replaced.
constexpr const char* kNextBatch =
    "UPDATE batchcounter SET last = MAX(last, (SELECT IFNULL(MAX(batch),0) FROM inflight), ?1) + 1 RETURNING last";

constexpr const char* kPrepareFailed = "Error: failed to prepare statement with message '%s'.";
constexpr const char* kInsertFailed = "Error: failed to inser item with message '%s'.";
constexpr const char* kDeleteFailed = "Error: failed to delete items with message '%s'.";
constexpr const char* kBindFailed = "Error: failed to bind a value with message '%s'.";
constexpr const char* kBatchFailed = "Error: failed to number a batch with message '%s'.";
constexpr const char* kReadFailed = "Error: failed to read items with message '%s'.";

constexpr int kTypeAction = 0;
constexpr int kTypeGeo = 1;

std::string format1(const char* format, const char* arg) {
  int n = std::snprintf(nullptr, 0, format, arg);
  std::string s(n > 0 ? static_cast<std::size_t>(n) : 0, '\0');
  std::snprintf(s.data(), s.size() + 1, format, arg);
  return s;
}

// The first result of the list that is not SQLITE_OK (the bindings of one statement).
int firstFailure(std::initializer_list<int> results) {
  for (int rc : results)
    if (rc != SQLITE_OK) return rc;
  return SQLITE_OK;
}

bool isBusyCode(int rc) {
  const int primary = rc & 0xff;
  return primary == SQLITE_BUSY || primary == SQLITE_LOCKED;
}

// Damage in the file itself, as opposed to a file that cannot be read just now.
bool isDamageCode(int rc) {
  const int primary = rc & 0xff;
  return primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB;
}

std::string columnText(sqlite3_stmt* st, int col) {
  const unsigned char* t = sqlite3_column_text(st, col);
  if (!t) return {};
  return std::string(reinterpret_cast<const char*>(t), static_cast<std::size_t>(sqlite3_column_bytes(st, col)));
}

// Prepares, and finalizes on every way out.
class Statement {
 public:
  Statement(sqlite3* db, const char* sql) : prepared_(sqlite3_prepare_v2(db, sql, -1, &st_, nullptr)) {}
  ~Statement() { sqlite3_finalize(st_); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;
  // The result of the prepare: SQLITE_OK, or why it failed.
  int prepared() const { return prepared_; }
  sqlite3_stmt* get() const { return st_; }
  // A statement that failed to prepare steps to nothing (the failure was already reported).
  int step() { return st_ ? sqlite3_step(st_) : SQLITE_MISUSE; }
  void finalize() {
    sqlite3_finalize(st_);
    st_ = nullptr;
  }

 private:
  sqlite3_stmt* st_ = nullptr;
  int prepared_;
};

int bindText(sqlite3_stmt* st, int index, const std::string& text) {
  return sqlite3_bind_text(st, index, text.data(), static_cast<int>(text.size()), SQLITE_STATIC);
}

}  // namespace

bool KXIsStoreBusy(const std::exception& e) noexcept {
  const auto* ex = dynamic_cast<const Exception*>(&e);
  return ex && ex->name() == KXStoreBusy;
}

// One operation on the store: holds its lock and, for the outermost operation on this thread, sets
// the time until which the file's locks are waited for: kPatience from the start of the operation,
// the wait for the store's own lock included. (That wait is for another thread's operation, bounded
// the same way.) Unless told otherwise it makes sure the file has been checked and its tables exist;
// the outermost operation after one that met damage first moves the file aside. Inside a
// transaction whose statement failed no further operation runs.
class KXDatabase::Access {
 public:
  explicit Access(KXDatabase& db, bool needReady = true) : db_(db) {
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    db_.mutex_.lock();
    held_ = true;
    const bool outermost = db_.depth_++ == 0;
    if (outermost) db_.deadline_ = deadline;
    try {
      if (outermost) db_.endStaleTransaction();
      if (needReady && (!db_.ready_ || (outermost && db_.damaged_))) db_.makeReady();
      if (db_.txOpen_ && db_.txFailed_)
        throw Exception(kInternalInconsistency, "Error: a statement of the transaction failed; it is rolled back.");
    } catch (...) {
      release();
      throw;
    }
  }
  ~Access() { release(); }
  Access(const Access&) = delete;
  Access& operator=(const Access&) = delete;

 private:
  void release() noexcept {
    if (!held_) return;
    held_ = false;
    --db_.depth_;
    db_.mutex_.unlock();
  }
  KXDatabase& db_;
  bool held_ = false;
};

namespace {
struct Shared {
  std::mutex mutex;
  Ref<KXDatabase> instance;
};
Shared& shared() {
  static Shared s;
  return s;
}
}  // namespace

KXDatabase* KXDatabase::sharedDatabase() {
  Shared& s = shared();
  std::lock_guard<std::mutex> lock(s.mutex);
  if (!s.instance) s.instance = make<KXDatabase>();
  return s.instance.get();
}

void KXDatabase::purgeShared() {
  Shared& s = shared();
  Ref<KXDatabase> old;
  {
    std::lock_guard<std::mutex> lock(s.mutex);
    old = std::move(s.instance);
  }
}

bool KXDatabase::removeFiles(const std::string& documentsDirectory) {
  namespace fs = std::filesystem;
  const fs::path folder = fs::path(documentsDirectory) / "Kestrix";
  std::error_code ec;
  bool removed = true;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    if (it->path().filename().string().rfind("kestrix.sql", 0) != 0) continue;
    std::error_code gone;
    if (!fs::remove(it->path(), gone) && gone) {
      engineLog("%s could not be deleted: %s", it->path().c_str(), gone.message().c_str());
      removed = false;
    }
  }
  fs::remove(folder, ec);  // only when empty
  return removed;
}

KXDatabase::KXDatabase() : KXDatabase(platform::documentsDirectory()) {}

KXDatabase::KXDatabase(std::string documentsDirectory) : documents_(std::move(documentsDirectory)) {
  createDatabaseDirectory();
  open();
}

KXDatabase::~KXDatabase() {
  if (sqlDatabase_ && sqlite3_close(sqlDatabase_) != SQLITE_OK) {
    // A destructor cannot raise; the report goes to the log.
    engineLog("%s", format1("Error: failed to close database with message '%s'.", sqlite3_errmsg(sqlDatabase_)).c_str());
    sqlite3_close_v2(sqlDatabase_);
  }
}

void KXDatabase::fail(int rc, const char* format) {
  if (isBusyCode(rc)) failBusy();
  if (txOpen_) txFailed_ = true;
  const char* message = sqlDatabase_ ? sqlite3_errmsg(sqlDatabase_) : sqlite3_errstr(rc);
  if (isDamageCode(rc) && !damaged_) {
    damaged_ = true;
    damage_ = message;
  }
  throw Exception(kInternalInconsistency, format1(format, message));
}

void KXDatabase::failBusy() {
  if (txOpen_) txFailed_ = true;
  throw Exception(KXStoreBusy, "the queue '" + path_ + "' is in use (" +
                                   (sqlDatabase_ ? sqlite3_errmsg(sqlDatabase_) : "not open") + ")");
}

void KXDatabase::check(int rc, int expected, const char* format) {
  if (rc != expected) fail(rc, format);
}

void KXDatabase::endStaleTransaction() {
  if (!sqlDatabase_ || sqlite3_get_autocommit(sqlDatabase_)) return;
  const int rc = sqlite3_exec(sqlDatabase_, "ROLLBACK", nullptr, nullptr, nullptr);
  if (rc != SQLITE_OK) fail(rc, "Error: failed to roll back a transaction with message '%s'.");
}

int KXDatabase::onBusy(void* self, int) {
  auto* db = static_cast<KXDatabase*>(self);
  const auto now = std::chrono::steady_clock::now();
  if (now >= db->deadline_) return 0;
  std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(std::chrono::milliseconds(1),
                                                                             db->deadline_ - now));
  return 1;
}

void KXDatabase::createDatabaseDirectory() {
  if (!platform::createDirectories(documents_))
    throw Exception(kInternalInconsistency, "Failed to create Documents directory.");
  if (!platform::createDirectories(documents_ + "/Kestrix/"))
    throw Exception(kInternalInconsistency, "Failed to create kestrix directory.");
}

void KXDatabase::openConnection() {
  if (!platform::fileExists(path_)) std::ofstream(path_, std::ios::binary | std::ios::app);
  if (sqlite3_open(path_.c_str(), &sqlDatabase_) != SQLITE_OK) {
    std::string message = format1("Failed to open database with message '%s'.", sqlite3_errmsg(sqlDatabase_));
    sqlite3_close(sqlDatabase_);
    sqlDatabase_ = nullptr;
    engineLog("%s", message.c_str());
    throw Exception(kInternalInconsistency, message);
  }
  sqlite3_busy_handler(sqlDatabase_, &KXDatabase::onBusy, this);
}

void KXDatabase::open() {
  Access access(*this, false);
  path_ = documents_ + "/Kestrix/kestrix.sql";
  openConnection();
  try {
    makeReady();
  } catch (const std::exception& e) {
    // In use elsewhere, or not usable just now (an I/O failure, a read-only file): the store opens
    // anyway and tries the file again at its first use.
    if (!toldUnavailable_) {
      toldUnavailable_ = true;
      engineLog("KXDatabase: the queue '%s' cannot be used now (%s); it stays in place and is used when it can be.",
                path_.c_str(), e.what());
    }
  }
}

void KXDatabase::makeReady() {
  if (!sqlDatabase_) openConnection();
  Integrity integrity;
  if (damaged_) {
    // An operation met damage: handled as damage found at the opening.
    integrity.state = Integrity::Damaged;
    integrity.why = damage_;
  } else {
    integrity = checkIntegrity();
  }
  if (integrity.state == Integrity::Unavailable) {
    // Locked by another connection, or an I/O or memory failure: nothing says the file is
    // damaged, so it stays where it is and is looked at again at the next use.
    if (!toldUnavailable_) {
      toldUnavailable_ = true;
      engineLog("KXDatabase: the queue '%s' cannot be read now (%s); it stays in place and is used when it can be.",
                path_.c_str(), integrity.why.c_str());
    }
    if (isBusyCode(integrity.code)) failBusy();
    throw Exception(kInternalInconsistency, format1("Error: failed to read the queue with message '%s'.",
                                                    integrity.why.c_str()));
  }
  if (integrity.state == Integrity::Damaged) {
    // A damaged file (cut short, overwritten, not a database at all) would fail every run of the
    // application the same way. It is kept aside for inspection and a fresh queue starts; its
    // records are lost, the application is not.
    ready_ = false;
    sqlite3_close_v2(sqlDatabase_);
    sqlDatabase_ = nullptr;
    const std::string aside = moveAside();
    engineLog("KXDatabase: the queue '%s' is damaged (%s); moved it to '%s' and started a fresh one.",
              path_.c_str(), integrity.why.c_str(), aside.c_str());
    damaged_ = false;
    damage_.clear();
    lastBatchOfReplacedFile_ = lastBatch_;
    openConnection();
  }
  createTableIfNeeded();
  createInFlightTableIfNeeded();
  ready_ = true;
}

KXDatabase::Integrity KXDatabase::checkIntegrity() {
  // quick_check reads every page of the file (a queue holds about a hundred rows).
  Integrity result;
  auto failed = [&](int rc) {
    result.state = isDamageCode(rc) ? Integrity::Damaged : Integrity::Unavailable;
    result.code = rc;
    result.why = sqlite3_errmsg(sqlDatabase_);
  };
  sqlite3_stmt* st = nullptr;
  if (sqlite3_prepare_v2(sqlDatabase_, "PRAGMA quick_check", -1, &st, nullptr) != SQLITE_OK) {
    failed(sqlite3_errcode(sqlDatabase_));
    sqlite3_finalize(st);
    return result;
  }
  int rc = sqlite3_step(st);
  if (rc == SQLITE_ROW) {
    // Anything but "ok" is the check naming damage.
    std::string first = columnText(st, 0);
    if (first != "ok") {
      result.state = Integrity::Damaged;
      result.why = first.empty() ? "integrity check failed" : first;
    }
  } else if (rc != SQLITE_DONE) {
    failed(rc);
  }
  sqlite3_finalize(st);
  return result;
}

std::string KXDatabase::moveAside() {
  std::string aside = path_ + ".damaged-" + std::to_string(static_cast<long long>(std::time(nullptr)));
  for (int n = 1; platform::fileExists(aside); ++n)
    aside = path_ + ".damaged-" + std::to_string(static_cast<long long>(std::time(nullptr))) + "-" + std::to_string(n);
  if (std::rename(path_.c_str(), aside.c_str()) != 0) {
    // Not even a rename: start over in place rather than fail on every run.
    std::remove(path_.c_str());
    aside = "(removed)";
  }
  // A journal belongs to the file it was written for.
  for (const char* suffix : {"-journal", "-wal", "-shm"}) {
    const std::string side = path_ + suffix;
    if (platform::fileExists(side) && std::rename(side.c_str(), (aside + suffix).c_str()) != 0)
      std::remove(side.c_str());
  }
  return aside;
}

void KXDatabase::runSchemaStatement(const char* sql, const char* failure) {
  Statement st(sqlDatabase_, sql);
  check(st.prepared(), SQLITE_OK, kPrepareFailed);
  int rc = st.step();
  st.finalize();
  check(rc, SQLITE_DONE, failure);
}

void KXDatabase::createInFlightTableIfNeeded() {
  runSchemaStatement(kCreateInFlight, "Error: failed to create table with message '%s'.");
  runSchemaStatement(kCreateBatchCounter, "Error: failed to create table with message '%s'.");
}

void KXDatabase::createTableIfNeeded() {
  runSchemaStatement(kCreateTable, "Error: failed to create table with message '%s'.");
}

void KXDatabase::dropTable() {
  {
    Access access(*this);
    runSchemaStatement(kDropTable, "Error: failed to drop table with message '%s'.");
  }
  createTableIfNeeded();
}

void KXDatabase::storeAction(const KXAction& action) {
  Access access(*this);
  const std::string time = action.timeString();
  Statement st(sqlDatabase_, kInsertAction);
  check(st.prepared(), SQLITE_OK, kPrepareFailed);
  check(firstFailure({sqlite3_bind_int(st.get(), 1, kTypeAction), bindText(st.get(), 2, time),
                      bindText(st.get(), 3, action.session()), bindText(st.get(), 4, action.action())}),
        SQLITE_OK, kBindFailed);
  int rc = st.step();
  st.finalize();
  check(rc, SQLITE_DONE, kInsertFailed);
}

void KXDatabase::storeGeo(const KXGeo& geo) {
  Access access(*this);
  const std::string time = geo.timeString();
  Statement st(sqlDatabase_, kInsertGeo);
  check(st.prepared(), SQLITE_OK, kPrepareFailed);
  check(firstFailure({sqlite3_bind_int(st.get(), 1, kTypeGeo), bindText(st.get(), 2, time),
                      bindText(st.get(), 3, geo.session()),
                      sqlite3_bind_double(st.get(), 4, static_cast<double>(geo.lat())),
                      sqlite3_bind_double(st.get(), 5, static_cast<double>(geo.lon())),
                      sqlite3_bind_double(st.get(), 6, static_cast<double>(geo.alt()))}),
        SQLITE_OK, kBindFailed);
  int rc = st.step();
  st.finalize();
  check(rc, SQLITE_DONE, kInsertFailed);
}

std::vector<Ref<KXRecord>> KXDatabase::oldestActions(int count) {
  Access access(*this);
  std::vector<Ref<KXRecord>> result;
  std::string deleteText = kDeletePrefix;
  {
    Statement st(sqlDatabase_, kSelectOldest);
    check(st.prepared(), SQLITE_OK, kPrepareFailed);
    check(sqlite3_bind_int(st.get(), 1, count), SQLITE_OK, kBindFailed);
    bool first = true;
    int rc;
    while ((rc = st.step()) == SQLITE_ROW) {
      sqlite3_int64 id = sqlite3_column_int64(st.get(), 0);
      if (id < INT_MIN || id > INT_MAX) {
        // Formatting such an id as a 32-bit number would delete some other row (or none) and
        // send this one again and again; take nothing and report it instead.
        st.finalize();
        throw Exception(kInternalInconsistency,
                        "Error: item id " + std::to_string(id) + " is outside the 32-bit range.");
      }
      if (!first) deleteText += ',';
      first = false;
      deleteText += std::to_string(static_cast<int>(id));

      int type = sqlite3_column_int(st.get(), 1);
      std::string time = columnText(st.get(), 2);
      std::string session = columnText(st.get(), 3);
      if (type == kTypeAction) {
        auto action = make<KXAction>(columnText(st.get(), 4), std::move(session));
        action->setTimeString(std::move(time));
        result.push_back(action);
      } else if (type == kTypeGeo) {
        auto geo = make<KXGeo>(static_cast<float>(sqlite3_column_double(st.get(), 5)),
                               static_cast<float>(sqlite3_column_double(st.get(), 6)),
                               static_cast<float>(sqlite3_column_double(st.get(), 7)), std::move(session));
        geo->setTimeString(std::move(time));
        result.push_back(geo);
      }
    }
    // Nothing has been deleted yet: a failed read leaves the queue as it was.
    check(rc, SQLITE_DONE, kReadFailed);
  }
  deleteText += ')';
  Statement del(sqlDatabase_, deleteText.c_str());
  check(del.prepared(), SQLITE_OK, kPrepareFailed);
  int rc = del.step();
  del.finalize();
  check(rc, SQLITE_DONE, kDeleteFailed);
  return result;
}

int KXDatabase::count(const char* sql) {
  Access access(*this);
  Statement st(sqlDatabase_, sql);
  check(st.prepared(), SQLITE_OK, kPrepareFailed);
  int rc = st.step();
  const int n = rc == SQLITE_ROW ? sqlite3_column_int(st.get(), 0) : 0;
  st.finalize();
  check(rc, SQLITE_ROW, kInsertFailed);  // the text of a failed insert, as it always was
  return n;
}

int KXDatabase::numItems() { return count(kCount); }

int KXDatabase::numInFlight() { return count(kCountInFlight); }

// BEGIN IMMEDIATE .. COMMIT, rolled back when left without commit(). Inside a transaction of the
// store's that is already open it does nothing, so the outer one decides. A transaction in which a
// statement failed is never committed, even when the failure was caught inside it: it may already
// have been rolled back by SQLite, and what came after would be committed on its own.
class KXDatabase::Transaction {
 public:
  explicit Transaction(KXDatabase& db) : db_(db) {
    if (db_.txOpen_) return;
    const int rc = sqlite3_exec(db_.sqlDatabase_, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) db_.fail(rc, "Error: failed to begin a transaction with message '%s'.");
    open_ = true;
    db_.txOpen_ = true;
    db_.txFailed_ = false;
  }
  ~Transaction() {
    if (!open_) return;
    db_.txOpen_ = false;
    // SQLite ends the transaction itself on some failures (a full disk, an I/O error).
    if (sqlite3_get_autocommit(db_.sqlDatabase_)) return;
    if (sqlite3_exec(db_.sqlDatabase_, "ROLLBACK", nullptr, nullptr, nullptr) != SQLITE_OK)
      engineLog("KXDatabase: failed to roll back a transaction (%s); it is ended at the next use.",
                sqlite3_errmsg(db_.sqlDatabase_));
  }
  Transaction(const Transaction&) = delete;
  Transaction& operator=(const Transaction&) = delete;
  void commit() {
    if (!open_) return;
    if (db_.txFailed_)
      throw Exception(kInternalInconsistency, "Error: a statement of the transaction failed; it is rolled back.");
    const int rc = sqlite3_exec(db_.sqlDatabase_, "COMMIT", nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) db_.fail(rc, "Error: failed to commit a transaction with message '%s'.");
    open_ = false;
    db_.txOpen_ = false;
  }

 private:
  KXDatabase& db_;
  bool open_ = false;
};

void KXDatabase::inTransaction(const std::function<void()>& fn) {
  Access access(*this);
  Transaction tx(*this);
  fn();
  tx.commit();
}

std::int64_t KXDatabase::nextBatchNumber() {
  runSchemaStatement(kSeedBatchCounter, kBatchFailed);
  Statement st(sqlDatabase_, kNextBatch);
  check(st.prepared(), SQLITE_OK, kPrepareFailed);
  check(sqlite3_bind_int64(st.get(), 1, lastBatch_), SQLITE_OK, kBindFailed);
  check(st.step(), SQLITE_ROW, kBatchFailed);
  const std::int64_t number = sqlite3_column_int64(st.get(), 0);
  check(st.step(), SQLITE_DONE, kBatchFailed);
  if (number <= 0) throw Exception(kInternalInconsistency, "Error: failed to number a batch.");
  lastBatch_ = std::max(lastBatch_, number);
  return number;
}

std::vector<Ref<KXRecord>> KXDatabase::takeOldestActionsInFlight(int count, std::int64_t* batch) {
  Access access(*this);
  Transaction tx(*this);
  // Numbered inside the write transaction: no other connection can take the same number.
  const std::int64_t number = nextBatchNumber();
  {
    Statement keep(sqlDatabase_, kKeepInFlight);
    check(keep.prepared(), SQLITE_OK, kPrepareFailed);
    check(firstFailure({sqlite3_bind_int64(keep.get(), 1, number), sqlite3_bind_int(keep.get(), 2, count)}),
          SQLITE_OK, kBindFailed);
    int rc = keep.step();
    keep.finalize();
    check(rc, SQLITE_DONE, "Error: failed to keep items in flight with message '%s'.");
  }
  std::vector<Ref<KXRecord>> records = oldestActions(count);
  tx.commit();
  if (batch) *batch = records.empty() ? 0 : number;
  return records;
}

void KXDatabase::endInFlight(std::int64_t batch) {
  Access access(*this);
  Statement st(sqlDatabase_, kForgetBatch);
  check(st.prepared(), SQLITE_OK, kPrepareFailed);
  check(sqlite3_bind_int64(st.get(), 1, batch), SQLITE_OK, kBindFailed);
  int rc = st.step();
  st.finalize();
  check(rc, SQLITE_DONE, kDeleteFailed);
}

bool KXDatabase::batchOutlivedItsFile(std::int64_t batch) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  return batch <= lastBatchOfReplacedFile_;
}

int KXDatabase::restoreRows(const char* select, std::int64_t batch, const std::vector<std::int64_t>& keep) {
  std::vector<std::int64_t> restored, atBack;
  {
    Statement rows(sqlDatabase_, select);
    check(rows.prepared(), SQLITE_OK, kPrepareFailed);
    if (batch) check(sqlite3_bind_int64(rows.get(), 1, batch), SQLITE_OK, kBindFailed);
    Statement insert(sqlDatabase_, kRestoreInPlace);
    check(insert.prepared(), SQLITE_OK, kPrepareFailed);
    int rc;
    while ((rc = rows.step()) == SQLITE_ROW) {
      const std::int64_t item = sqlite3_column_int64(rows.get(), 0);
      if (std::find(keep.begin(), keep.end(), sqlite3_column_int64(rows.get(), 1)) != keep.end()) continue;
      sqlite3_reset(insert.get());
      int bound = sqlite3_bind_int64(insert.get(), 1, item);
      for (int col = 2; col <= 8 && bound == SQLITE_OK; ++col)
        bound = sqlite3_bind_value(insert.get(), col, sqlite3_column_value(rows.get(), col));
      check(bound, SQLITE_OK, kBindFailed);
      check(insert.step(), SQLITE_DONE, kInsertFailed);
      restored.push_back(item);
      // The id was given to another row meanwhile (the table was made anew): not dropped, but
      // put back behind everything under a new id, after every row that could keep its own.
      if (sqlite3_changes(sqlDatabase_) == 0) atBack.push_back(item);
    }
    check(rc, SQLITE_DONE, kReadFailed);
  }
  // One prepared statement run once for each item.
  auto forEachItem = [this](const char* sql, const std::vector<std::int64_t>& items, const char* failure) {
    if (items.empty()) return;
    Statement st(sqlDatabase_, sql);
    check(st.prepared(), SQLITE_OK, kPrepareFailed);
    for (std::int64_t item : items) {
      sqlite3_reset(st.get());
      check(sqlite3_bind_int64(st.get(), 1, item), SQLITE_OK, kBindFailed);
      check(st.step(), SQLITE_DONE, failure);
    }
  };
  forEachItem(kRestoreAtBack, atBack, kInsertFailed);
  forEachItem(kForgetItem, restored, kDeleteFailed);
  return static_cast<int>(restored.size());
}

int KXDatabase::restoreInFlight(std::int64_t batch) {
  Access access(*this);
  Transaction tx(*this);
  int n = restoreRows(kSelectBatch, batch, {});
  tx.commit();
  return n;
}

int KXDatabase::restoreAllInFlight(const std::vector<std::int64_t>& keep) {
  Access access(*this);
  Transaction tx(*this);
  int n = restoreRows(kSelectAllInFlight, 0, keep);
  tx.commit();
  return n;
}

}  // namespace peckish
