#include "devserver/Store.h"

#include <sqlite3.h>

#include <ctime>
#include <filesystem>
#include <stdexcept>

namespace peckish::devserver {
namespace {

const char* kSchema = R"sql(
CREATE TABLE IF NOT EXISTS scores(
  id INTEGER PRIMARY KEY AUTOINCREMENT,
  gid INTEGER NOT NULL,
  player TEXT NOT NULL,
  score INTEGER NOT NULL,
  time INTEGER NOT NULL);
CREATE INDEX IF NOT EXISTS scores_by_game ON scores(gid, score DESC, id);
CREATE TABLE IF NOT EXISTS uploads(
  id INTEGER PRIMARY KEY AUTOINCREMENT,
  app_key TEXT NOT NULL,
  time INTEGER NOT NULL,
  envelope TEXT NOT NULL);
CREATE TABLE IF NOT EXISTS events(
  id INTEGER PRIMARY KEY AUTOINCREMENT,
  upload_id INTEGER NOT NULL REFERENCES uploads(id),
  position INTEGER NOT NULL,
  session TEXT NOT NULL,
  type TEXT NOT NULL,
  action TEXT NOT NULL,
  time TEXT NOT NULL,
  json TEXT NOT NULL);
)sql";

// One prepared statement, finalised on every path.
class Statement {
 public:
  Statement(sqlite3* db, const char* sql) : db_(db) {
    if (sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr) != SQLITE_OK)
      throw std::runtime_error(std::string("SQL error: ") + sqlite3_errmsg(db));
  }
  ~Statement() { sqlite3_finalize(stmt_); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  Statement& bind(int i, int64_t v) {
    sqlite3_bind_int64(stmt_, i, v);
    return *this;
  }
  Statement& bind(int i, const std::string& v) {
    sqlite3_bind_text(stmt_, i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
    return *this;
  }
  bool step() {
    int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    throw std::runtime_error(std::string("SQL error: ") + sqlite3_errmsg(db_));
  }
  void reset() {
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
  }
  void run() {
    while (step()) {
    }
  }
  int64_t integer(int col) const { return sqlite3_column_int64(stmt_, col); }
  std::string text(int col) const {
    auto* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, col));
    return p ? std::string(p, static_cast<size_t>(sqlite3_column_bytes(stmt_, col))) : std::string();
  }

 private:
  sqlite3* db_;
  sqlite3_stmt* stmt_ = nullptr;
};

ScoreRow scoreFrom(const Statement& s) {
  return ScoreRow{s.integer(0), s.integer(1), s.text(2), s.integer(3), s.integer(4)};
}

}  // namespace

Store::Store(const std::string& path) {
  if (path != ":memory:" && !path.empty()) {
    std::filesystem::path parent = std::filesystem::path(path).parent_path();
    std::error_code ec;
    if (!parent.empty()) std::filesystem::create_directories(parent, ec);
  }
  int rc = sqlite3_open_v2(path.empty() ? ":memory:" : path.c_str(), &db_,
                           SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX, nullptr);
  if (rc != SQLITE_OK) {
    std::string message = db_ ? sqlite3_errmsg(db_) : "out of memory";
    sqlite3_close(db_);
    db_ = nullptr;
    throw std::runtime_error("cannot open database " + path + ": " + message);
  }
  sqlite3_busy_timeout(db_, 2000);
  try {
    exec(kSchema);
  } catch (const std::exception& e) {
    sqlite3_close(db_);
    db_ = nullptr;
    throw std::runtime_error("cannot use database " + path + ": " + e.what());
  }
}

Store::~Store() { sqlite3_close(db_); }

void Store::exec(const char* sql) const {
  char* message = nullptr;
  if (sqlite3_exec(db_, sql, nullptr, nullptr, &message) != SQLITE_OK) {
    std::string text = message ? message : "unknown error";
    sqlite3_free(message);
    throw std::runtime_error(text);
  }
}

int64_t Store::addScore(int64_t gid, const std::string& player, int64_t score) {
  std::lock_guard lock(mutex_);
  Statement s(db_, "INSERT INTO scores(gid, player, score, time) VALUES(?, ?, ?, ?)");
  s.bind(1, gid).bind(2, player).bind(3, score).bind(4, static_cast<int64_t>(std::time(nullptr))).run();
  return sqlite3_last_insert_rowid(db_);
}

std::vector<ScoreRow> Store::scores() const {
  std::lock_guard lock(mutex_);
  Statement s(db_, "SELECT id, gid, player, score, time FROM scores ORDER BY id");
  std::vector<ScoreRow> rows;
  while (s.step()) rows.push_back(scoreFrom(s));
  return rows;
}

std::vector<ScoreRow> Store::ranking(int64_t gid, int limit) const {
  std::lock_guard lock(mutex_);
  Statement s(db_,
              "SELECT id, gid, player, score, time FROM scores WHERE gid = ? ORDER BY score DESC, id ASC LIMIT ?");
  s.bind(1, gid).bind(2, static_cast<int64_t>(limit));
  std::vector<ScoreRow> rows;
  while (s.step()) rows.push_back(scoreFrom(s));
  return rows;
}

int64_t Store::addUpload(const std::string& key, const std::string& envelope,
                         const std::vector<EnvelopeRecord>& records) {
  std::lock_guard lock(mutex_);
  exec("BEGIN IMMEDIATE");
  try {
    Statement up(db_, "INSERT INTO uploads(app_key, time, envelope) VALUES(?, ?, ?)");
    up.bind(1, key).bind(2, static_cast<int64_t>(std::time(nullptr))).bind(3, envelope).run();
    int64_t uploadId = sqlite3_last_insert_rowid(db_);
    Statement ev(db_,
                 "INSERT INTO events(upload_id, position, session, type, action, time, json) "
                 "VALUES(?, ?, ?, ?, ?, ?, ?)");
    for (size_t i = 0; i < records.size(); ++i) {
      const EnvelopeRecord& r = records[i];
      ev.reset();
      ev.bind(1, uploadId).bind(2, static_cast<int64_t>(i)).bind(3, r.session).bind(4, r.type);
      ev.bind(5, r.action).bind(6, r.time).bind(7, r.json).run();
    }
    exec("COMMIT");
    return uploadId;
  } catch (...) {
    sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    throw;
  }
}

std::vector<UploadRow> Store::uploads() const {
  std::lock_guard lock(mutex_);
  Statement s(db_,
              "SELECT u.id, u.app_key, u.time, u.envelope, (SELECT COUNT(*) FROM events e WHERE e.upload_id = u.id) "
              "FROM uploads u ORDER BY u.id");
  std::vector<UploadRow> rows;
  while (s.step()) rows.push_back(UploadRow{s.integer(0), s.text(1), s.integer(2), s.text(3), s.integer(4)});
  return rows;
}

std::vector<EventRow> Store::events(const std::optional<std::string>& session) const {
  std::lock_guard lock(mutex_);
  Statement s(db_, session ? "SELECT id, upload_id, position, session, type, action, time, json FROM events "
                             "WHERE session = ? ORDER BY id"
                           : "SELECT id, upload_id, position, session, type, action, time, json FROM events "
                             "ORDER BY id");
  if (session) s.bind(1, *session);
  std::vector<EventRow> rows;
  while (s.step())
    rows.push_back(EventRow{s.integer(0), s.integer(1), s.integer(2), s.text(3), s.text(4), s.text(5), s.text(6),
                            s.text(7)});
  return rows;
}

void Store::clear() {
  std::lock_guard lock(mutex_);
  exec("DELETE FROM events; DELETE FROM uploads; DELETE FROM scores;");
}

}  // namespace peckish::devserver
