#include "analytics/KXDatabase.h"

#include <sqlite3.h>

#include <climits>
#include <cstdio>
#include <ctime>
#include <fstream>

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
constexpr const char* kRestoreBatch =
    "INSERT OR IGNORE INTO items (id,type,time,session,action,latitude,longitude,altitude) "
    "SELECT item,type,time,session,action,latitude,longitude,altitude FROM inflight WHERE batch = ?1";
constexpr const char* kForgetBatch = "DELETE FROM inflight WHERE batch = ?1";
constexpr const char* kRestoreAll =
    "INSERT OR IGNORE INTO items (id,type,time,session,action,latitude,longitude,altitude) "
    "SELECT item,type,time,session,action,latitude,longitude,altitude FROM inflight";
constexpr const char* kForgetAll = "DELETE FROM inflight";
constexpr const char* kLastBatch = "SELECT IFNULL(MAX(batch),0) FROM inflight";
constexpr const char* kCountInFlight = "SELECT count(item) FROM inflight";

constexpr const char* kPrepareFailed = "Error: failed to prepare statement with message '%s'.";
constexpr const char* kInsertFailed = "Error: failed to inser item with message '%s'.";

constexpr int kTypeAction = 0;
constexpr int kTypeGeo = 1;

std::string format1(const char* format, const char* arg) {
  int n = std::snprintf(nullptr, 0, format, arg);
  std::string s(n > 0 ? static_cast<std::size_t>(n) : 0, '\0');
  std::snprintf(s.data(), s.size() + 1, format, arg);
  return s;
}

std::string columnText(sqlite3_stmt* st, int col) {
  const unsigned char* t = sqlite3_column_text(st, col);
  if (!t) return {};
  return std::string(reinterpret_cast<const char*>(t), static_cast<std::size_t>(sqlite3_column_bytes(st, col)));
}

// Prepares, and finalizes on every way out.
class Statement {
 public:
  Statement(sqlite3* db, const char* sql) { ok_ = sqlite3_prepare_v2(db, sql, -1, &st_, nullptr) == SQLITE_OK; }
  ~Statement() { sqlite3_finalize(st_); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;
  bool prepared() const { return ok_; }
  sqlite3_stmt* get() const { return st_; }
  // A statement that failed to prepare steps to nothing (the failure was already reported).
  int step() { return st_ ? sqlite3_step(st_) : SQLITE_MISUSE; }
  void finalize() {
    sqlite3_finalize(st_);
    st_ = nullptr;
  }

 private:
  sqlite3_stmt* st_ = nullptr;
  bool ok_ = false;
};

void bindText(sqlite3_stmt* st, int index, const std::string& text) {
  sqlite3_bind_text(st, index, text.data(), static_cast<int>(text.size()), SQLITE_STATIC);
}

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

void KXDatabase::fail(const char* format) {
  throw Exception(kInternalInconsistency, format1(format, sqlite3_errmsg(sqlDatabase_)));
}

void KXDatabase::createDatabaseDirectory() {
  if (!platform::createDirectories(documents_))
    throw Exception(kInternalInconsistency, "Failed to create Documents directory.");
  if (!platform::createDirectories(documents_ + "/Kestrix/"))
    throw Exception(kInternalInconsistency, "Failed to create kestrix directory.");
}

void KXDatabase::open() {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  path_ = documents_ + "/Kestrix/kestrix.sql";
  if (!platform::fileExists(path_)) std::ofstream(path_, std::ios::binary | std::ios::app);
  if (sqlite3_open(path_.c_str(), &sqlDatabase_) != SQLITE_OK) {
    std::string message = format1("Failed to open database with message '%s'.", sqlite3_errmsg(sqlDatabase_));
    sqlite3_close(sqlDatabase_);
    sqlDatabase_ = nullptr;
    engineLog("%s", message.c_str());
    throw Exception(kInternalInconsistency, message);
  }
  // A damaged file (cut short, overwritten, not a database at all) would fail every run of the
  // application the same way. It is kept aside for inspection and a fresh queue starts; its
  // records are lost, the application is not.
  std::string damage = checkIntegrity();
  if (!damage.empty()) {
    sqlite3_close(sqlDatabase_);
    sqlDatabase_ = nullptr;
    const std::string aside = moveAside();
    engineLog("KXDatabase: the queue '%s' is damaged (%s); moved it to '%s' and started a fresh one.",
              path_.c_str(), damage.c_str(), aside.c_str());
    std::ofstream(path_, std::ios::binary | std::ios::app);
    if (sqlite3_open(path_.c_str(), &sqlDatabase_) != SQLITE_OK) {
      std::string message = format1("Failed to open database with message '%s'.", sqlite3_errmsg(sqlDatabase_));
      sqlite3_close(sqlDatabase_);
      sqlDatabase_ = nullptr;
      engineLog("%s", message.c_str());
      throw Exception(kInternalInconsistency, message);
    }
  }
  createTableIfNeeded();
  createInFlightTableIfNeeded();
}

std::string KXDatabase::checkIntegrity() {
  // quick_check reads every page of the file (a queue holds about a hundred rows).
  sqlite3_stmt* st = nullptr;
  if (sqlite3_prepare_v2(sqlDatabase_, "PRAGMA quick_check", -1, &st, nullptr) != SQLITE_OK) {
    std::string why = sqlite3_errmsg(sqlDatabase_);
    sqlite3_finalize(st);
    return why;
  }
  std::string why;
  int rc = sqlite3_step(st);
  if (rc == SQLITE_ROW) {
    std::string first = columnText(st, 0);
    if (first != "ok") why = first.empty() ? "integrity check failed" : first;
  } else if (rc != SQLITE_DONE) {
    why = sqlite3_errmsg(sqlDatabase_);
  }
  sqlite3_finalize(st);
  return why;
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
  if (!st.prepared()) fail(kPrepareFailed);
  int rc = st.step();
  st.finalize();
  if (rc == SQLITE_ERROR) fail(failure);
}

void KXDatabase::createInFlightTableIfNeeded() {
  runSchemaStatement(kCreateInFlight, "Error: failed to create table with message '%s'.");
}

void KXDatabase::createTableIfNeeded() {
  runSchemaStatement(kCreateTable, "Error: failed to create table with message '%s'.");
}

void KXDatabase::dropTable() {
  {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    runSchemaStatement(kDropTable, "Error: failed to drop table with message '%s'.");
  }
  createTableIfNeeded();
}

void KXDatabase::storeAction(const KXAction& action) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  const std::string time = action.timeString();
  Statement st(sqlDatabase_, kInsertAction);
  if (!st.prepared()) fail(kPrepareFailed);
  sqlite3_bind_int(st.get(), 1, kTypeAction);
  bindText(st.get(), 2, time);
  bindText(st.get(), 3, action.session());
  bindText(st.get(), 4, action.action());
  int rc = st.step();
  st.finalize();
  if (rc == SQLITE_ERROR) fail(kInsertFailed);
}

void KXDatabase::storeGeo(const KXGeo& geo) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  const std::string time = geo.timeString();
  Statement st(sqlDatabase_, kInsertGeo);
  if (!st.prepared()) fail(kPrepareFailed);
  sqlite3_bind_int(st.get(), 1, kTypeGeo);
  bindText(st.get(), 2, time);
  bindText(st.get(), 3, geo.session());
  sqlite3_bind_double(st.get(), 4, static_cast<double>(geo.lat()));
  sqlite3_bind_double(st.get(), 5, static_cast<double>(geo.lon()));
  sqlite3_bind_double(st.get(), 6, static_cast<double>(geo.alt()));
  int rc = st.step();
  st.finalize();
  if (rc == SQLITE_ERROR) fail(kInsertFailed);
}

std::vector<Ref<KXRecord>> KXDatabase::oldestActions(int count) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  std::vector<Ref<KXRecord>> result;
  std::string deleteText = kDeletePrefix;
  {
    Statement st(sqlDatabase_, kSelectOldest);
    if (!st.prepared()) fail(kPrepareFailed);
    sqlite3_bind_int(st.get(), 1, count);
    bool first = true;
    while (st.step() == SQLITE_ROW) {
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
  }
  deleteText += ')';
  Statement del(sqlDatabase_, deleteText.c_str());
  if (!del.prepared()) fail(kPrepareFailed);
  int rc = del.step();
  del.finalize();
  if (rc == SQLITE_ERROR) fail("Error: failed to delete items with message '%s'.");
  return result;
}

int KXDatabase::numItems() {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  Statement st(sqlDatabase_, kCount);
  if (!st.prepared()) fail(kPrepareFailed);
  int rc = st.step();
  int n = rc == SQLITE_ROW ? sqlite3_column_int(st.get(), 0) : 0;
  st.finalize();
  if (rc == SQLITE_ERROR) fail(kInsertFailed);
  return n;
}

// BEGIN IMMEDIATE .. COMMIT, rolled back when left without commit(). Inside a transaction that is
// already open on the connection it does nothing, so the outer one decides.
class KXDatabase::Transaction {
 public:
  explicit Transaction(KXDatabase& db) : db_(db) {
    if (sqlite3_get_autocommit(db_.sqlDatabase_) == 0) return;
    if (sqlite3_exec(db_.sqlDatabase_, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK)
      db_.fail("Error: failed to begin a transaction with message '%s'.");
    open_ = true;
  }
  ~Transaction() {
    if (open_) sqlite3_exec(db_.sqlDatabase_, "ROLLBACK", nullptr, nullptr, nullptr);
  }
  Transaction(const Transaction&) = delete;
  Transaction& operator=(const Transaction&) = delete;
  void commit() {
    if (!open_) return;
    if (sqlite3_exec(db_.sqlDatabase_, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK)
      db_.fail("Error: failed to commit a transaction with message '%s'.");
    open_ = false;
  }

 private:
  KXDatabase& db_;
  bool open_ = false;
};

void KXDatabase::inTransaction(const std::function<void()>& fn) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  Transaction tx(*this);
  fn();
  tx.commit();
}

std::vector<Ref<KXRecord>> KXDatabase::takeOldestActionsInFlight(int count, std::int64_t* batch) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  if (nextBatch_ == 0) {
    Statement last(sqlDatabase_, kLastBatch);
    if (!last.prepared()) fail(kPrepareFailed);
    nextBatch_ = (last.step() == SQLITE_ROW ? sqlite3_column_int64(last.get(), 0) : 0) + 1;
  }
  const std::int64_t number = nextBatch_++;
  Transaction tx(*this);
  {
    Statement keep(sqlDatabase_, kKeepInFlight);
    if (!keep.prepared()) fail(kPrepareFailed);
    sqlite3_bind_int64(keep.get(), 1, number);
    sqlite3_bind_int(keep.get(), 2, count);
    int rc = keep.step();
    keep.finalize();
    if (rc == SQLITE_ERROR) fail("Error: failed to keep items in flight with message '%s'.");
  }
  std::vector<Ref<KXRecord>> records = oldestActions(count);
  tx.commit();
  if (batch) *batch = records.empty() ? 0 : number;
  return records;
}

void KXDatabase::endInFlight(std::int64_t batch) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  Statement st(sqlDatabase_, kForgetBatch);
  if (!st.prepared()) fail(kPrepareFailed);
  sqlite3_bind_int64(st.get(), 1, batch);
  int rc = st.step();
  st.finalize();
  if (rc == SQLITE_ERROR) fail("Error: failed to delete items with message '%s'.");
}

int KXDatabase::restore(const char* sql, std::int64_t batch) {
  Statement st(sqlDatabase_, sql);
  if (!st.prepared()) fail(kPrepareFailed);
  if (batch) sqlite3_bind_int64(st.get(), 1, batch);
  int rc = st.step();
  st.finalize();
  if (rc == SQLITE_ERROR) fail(kInsertFailed);
  return sqlite3_changes(sqlDatabase_);
}

int KXDatabase::restoreInFlight(std::int64_t batch) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  Transaction tx(*this);
  int n = restore(kRestoreBatch, batch);
  endInFlight(batch);
  tx.commit();
  return n;
}

int KXDatabase::restoreAllInFlight() {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  Transaction tx(*this);
  int n = restore(kRestoreAll, 0);
  Statement st(sqlDatabase_, kForgetAll);
  if (!st.prepared()) fail(kPrepareFailed);
  int rc = st.step();
  st.finalize();
  if (rc == SQLITE_ERROR) fail("Error: failed to delete items with message '%s'.");
  tx.commit();
  return n;
}

int KXDatabase::numInFlight() {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  Statement st(sqlDatabase_, kCountInFlight);
  if (!st.prepared()) fail(kPrepareFailed);
  int rc = st.step();
  int n = rc == SQLITE_ROW ? sqlite3_column_int(st.get(), 0) : 0;
  return n;
}

}  // namespace peckish
