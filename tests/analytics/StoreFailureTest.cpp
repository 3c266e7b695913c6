// The queue file refusing writes for a while during a game: a full disk, an I/O error, a read-only
// file, no journal, a refused statement, damage. Whatever the store refuses is kept and written once
// it takes it again; no record is lost and no batch is sent twice.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "analytics/ServiceTestSupport.h"
#include "core/Exception.h"
#include "core/Log.h"
#include "platform/Notifications.h"

using namespace peckish;
using namespace peckish::testing;
using ::testing::UnorderedElementsAreArray;
namespace fs = std::filesystem;

namespace {

// SQLite's own file system with a switch: while it is set, writes to the queue file and its
// journal, or the opening of the journal, fail with the given result. Other files are left alone.
class FailingQueueFiles {
 public:
  enum What { Nothing, Writes, JournalOpen };

  // Makes it the default file system (for connections opened from now on) until the end of scope.
  FailingQueueFiles() {
    real_ = sqlite3_vfs_find(nullptr);
    vfs_ = *real_;
    vfs_.zName = "peckish-failing-queue";
    vfs_.szOsFile = static_cast<int>(sizeof(File)) + real_->szOsFile;
    vfs_.pNext = nullptr;
    vfs_.xOpen = &open;
    vfs_.xDelete = [](sqlite3_vfs*, const char* name, int sync) { return real_->xDelete(real_, name, sync); };
    vfs_.xAccess = [](sqlite3_vfs*, const char* name, int flags, int* out) {
      return real_->xAccess(real_, name, flags, out);
    };
    vfs_.xFullPathname = [](sqlite3_vfs*, const char* name, int n, char* out) {
      return real_->xFullPathname(real_, name, n, out);
    };
    EXPECT_EQ(sqlite3_vfs_register(&vfs_, 1), SQLITE_OK);
  }
  ~FailingQueueFiles() {
    heal();
    sqlite3_vfs_register(real_, 1);  // stays registered: connections opened through it stay valid
  }

  static void fail(What what, int code) {
    code_ = code;
    what_ = what;
  }
  static void heal() { what_ = Nothing; }

 private:
  struct File {
    sqlite3_file base;
    sqlite3_file* real;
    bool queue;
    char pad[7];
  };
  static sqlite3_file* real(sqlite3_file* f) { return reinterpret_cast<File*>(f)->real; }
  static bool failing(sqlite3_file* f, What what) { return reinterpret_cast<File*>(f)->queue && what_ == what; }

  static int open(sqlite3_vfs*, sqlite3_filename name, sqlite3_file* file, int flags, int* outFlags) {
    File* f = reinterpret_cast<File*>(file);
    f->real = reinterpret_cast<sqlite3_file*>(f + 1);
    f->queue = name && std::strstr(name, "/Kestrix/kestrix.sql") != nullptr;
    file->pMethods = nullptr;
    if (f->queue && what_ == JournalOpen && (flags & SQLITE_OPEN_MAIN_JOURNAL)) return code_;
    const int rc = real_->xOpen(real_, name, f->real, flags, outFlags);
    if (rc == SQLITE_OK) file->pMethods = &methods_;
    return rc;
  }

  static sqlite3_vfs* real_;
  static sqlite3_vfs vfs_;
  static const sqlite3_io_methods methods_;
  static std::atomic<What> what_;
  static std::atomic<int> code_;
};

sqlite3_vfs* FailingQueueFiles::real_ = nullptr;
sqlite3_vfs FailingQueueFiles::vfs_{};
std::atomic<FailingQueueFiles::What> FailingQueueFiles::what_{FailingQueueFiles::Nothing};
std::atomic<int> FailingQueueFiles::code_{SQLITE_OK};
// Version 1: no shared memory (WAL) and no memory-mapped reads, so that every read and write of a
// rollback-journal database passes here.
const sqlite3_io_methods FailingQueueFiles::methods_ = {
    1,
    [](sqlite3_file* f) {
      sqlite3_file* r = real(f);
      return r->pMethods ? r->pMethods->xClose(r) : SQLITE_OK;
    },
    [](sqlite3_file* f, void* buf, int n, sqlite3_int64 at) { return real(f)->pMethods->xRead(real(f), buf, n, at); },
    [](sqlite3_file* f, const void* buf, int n, sqlite3_int64 at) {
      return failing(f, Writes) ? code_.load() : real(f)->pMethods->xWrite(real(f), buf, n, at);
    },
    [](sqlite3_file* f, sqlite3_int64 size) {
      return failing(f, Writes) ? code_.load() : real(f)->pMethods->xTruncate(real(f), size);
    },
    [](sqlite3_file* f, int flags) { return real(f)->pMethods->xSync(real(f), flags); },
    [](sqlite3_file* f, sqlite3_int64* size) { return real(f)->pMethods->xFileSize(real(f), size); },
    [](sqlite3_file* f, int lock) { return real(f)->pMethods->xLock(real(f), lock); },
    [](sqlite3_file* f, int lock) { return real(f)->pMethods->xUnlock(real(f), lock); },
    [](sqlite3_file* f, int* out) { return real(f)->pMethods->xCheckReservedLock(real(f), out); },
    [](sqlite3_file* f, int op, void* arg) { return real(f)->pMethods->xFileControl(real(f), op, arg); },
    [](sqlite3_file* f) { return real(f)->pMethods->xSectorSize(real(f)); },
    [](sqlite3_file* f) { return real(f)->pMethods->xDeviceCharacteristics(real(f)); },
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
};

// The name of the exception fn raised ("nothing" when it returned).
std::string raised(const std::function<void()>& fn) {
  try {
    fn();
  } catch (const Exception& e) {
    return e.name();
  }
  return "nothing";
}

void postTerminate() {
  platform::NotificationCenter::defaultCenter().post(platform::kApplicationWillTerminateNotification);
}

class StoreFailureTest : public ServiceWorld {
 protected:
  // Runs SQL on a connection of the test's own.
  void exec(const std::string& sql) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(databasePath().c_str(), &db), SQLITE_OK);
    char* err = nullptr;
    EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &err), SQLITE_OK) << (err ? err : "");
    sqlite3_free(err);
    sqlite3_close(db);
  }
  long long number(const std::string& sql) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(databasePath().c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* st = nullptr;
    long long n = -1;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) == SQLITE_OK && sqlite3_step(st) == SQLITE_ROW)
      n = sqlite3_column_int64(st, 0);
    sqlite3_finalize(st);
    sqlite3_close(db);
    return n;
  }
  // Overwrites the queue table's first page with junk, as a stray write from elsewhere would, and
  // moves the file's change counter on so that open connections read it again.
  void damageQueueTable() {
    const long long page = number("SELECT rootpage FROM sqlite_master WHERE name = 'items'");
    const long long size = number("PRAGMA page_size");
    ASSERT_GT(page, 1);
    std::fstream file(databasePath(), std::ios::in | std::ios::out | std::ios::binary);
    const std::string junk(static_cast<size_t>(size), '\x5a');
    file.seekp((page - 1) * size);
    file.write(junk.data(), static_cast<std::streamsize>(junk.size()));
    unsigned char counter[4] = {};
    file.seekg(24);
    file.read(reinterpret_cast<char*>(counter), 4);
    ++counter[3];
    file.seekp(24);
    file.write(reinterpret_cast<const char*>(counter), 4);
  }
  std::vector<fs::path> asideFiles() const {
    std::vector<fs::path> out;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(fs::path(databasePath()).parent_path(), ec)) {
      const std::string name = e.path().filename().string();
      if (name.find(".damaged-") != std::string::npos && name.find("-journal") == std::string::npos)
        out.push_back(e.path());
    }
    return out;
  }
};

TEST_F(StoreFailureTest, WhatTheStoreRefusesForAWhileArrivesOnceWhenItTakesItAgain) {
  FailingQueueFiles files;
  const char* kRefuse =
      "CREATE TRIGGER refuse_item BEFORE INSERT ON items BEGIN SELECT RAISE(ABORT, 'refused'); END;"
      "CREATE TRIGGER refuse_take BEFORE DELETE ON items BEGIN SELECT RAISE(ABORT, 'refused'); END;"
      "CREATE TRIGGER refuse_keep BEFORE INSERT ON inflight BEGIN SELECT RAISE(ABORT, 'refused'); END;"
      "CREATE TRIGGER refuse_end BEFORE DELETE ON inflight BEGIN SELECT RAISE(ABORT, 'refused'); END;";
  struct Row {
    const char* what;
    std::function<void()> fail, heal;
    bool damage;  // the file is replaced: what its queue held at the time goes with it
  };
  const std::vector<Row> rows = {
      {"IOERR", [] { FailingQueueFiles::fail(FailingQueueFiles::Writes, SQLITE_IOERR_WRITE); },
       FailingQueueFiles::heal, false},
      {"FULL", [] { FailingQueueFiles::fail(FailingQueueFiles::Writes, SQLITE_FULL); }, FailingQueueFiles::heal,
       false},
      {"READONLY", [] { FailingQueueFiles::fail(FailingQueueFiles::Writes, SQLITE_READONLY); },
       FailingQueueFiles::heal, false},
      {"CANTOPEN", [] { FailingQueueFiles::fail(FailingQueueFiles::JournalOpen, SQLITE_CANTOPEN); },
       FailingQueueFiles::heal, false},
      {"CONSTRAINT", [&] { exec(kRefuse); },
       [&] { exec("DROP TRIGGER refuse_item; DROP TRIGGER refuse_take; DROP TRIGGER refuse_keep; DROP TRIGGER refuse_end;"); },
       false},
      {"CORRUPT", [&] { damageQueueTable(); }, [] {}, true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    resetShared();
    std::error_code ec;
    fs::remove_all(root + "/documents", ec);
    LogCapture log;

    // A batch of three on the wire when the store starts refusing.
    storeActions(3, "queued", row.what);
    GateFlagReader& gate = holdExchanges();
    service()->startAnalysisUsingLocation(false);
    ASSERT_TRUE(gate.waitUntilEntered(1));
    const std::string session = service()->session();
    row.fail();

    // Records logged meanwhile are held; the batch is delivered but its ending refused; a tick
    // and a direct take change nothing.
    service()->logAction("held0");
    service()->logAction("held1");
    gate.open();
    ASSERT_TRUE(service()->waitForThreads(10.0));
    if (!row.damage) {
      EXPECT_EQ(service()->heldRecords(), 2);
      EXPECT_EQ(service()->batchesPending(), 1);
      std::int64_t batch = 0;
      EXPECT_EQ(raised([&] { database()->takeOldestActionsInFlight(5, &batch); }), kInternalInconsistency);
      EXPECT_EQ(raised([&] {
                  database()->inTransaction([&] {
                    for (int i = 0; i < 3; ++i) database()->storeAction(KXAction("lost" + std::to_string(i), session));
                  });
                }),
                kInternalInconsistency);
    }
    platform::RunLoop::main().advance(KXService::kUploadInterval);
    ASSERT_TRUE(service()->waitForThreads(10.0));

    // Once it takes writes again, the next tick ends the batch and sends the rest.
    row.heal();
    platform::RunLoop::main().advance(KXService::kUploadInterval);
    ASSERT_TRUE(service()->waitForThreads(10.0));
    postTerminate();

    std::vector<std::string> expected = {"queued0", "queued1", "queued2", "held0", "held1"};
    if (!row.damage) expected.push_back("Analysis Started");  // in the damaged file's queue
    std::vector<std::string> got;
    for (const auto& e : received())
      if (e.session == row.what || e.session == session) got.push_back(e.action);
    EXPECT_THAT(got, UnorderedElementsAreArray(expected));
    EXPECT_THAT(queueActions(), ::testing::ElementsAre("Analysis Stopped"));
    EXPECT_TRUE(inFlightRows().empty());
    EXPECT_EQ(service()->heldRecords(), 0);
    EXPECT_EQ(service()->batchesPending(), 0);
    EXPECT_EQ(asideFiles().size(), row.damage ? 1u : 0u);
    for (const std::string& line : log.lines()) EXPECT_EQ(line.find("not kept"), std::string::npos) << line;
  }
}

}  // namespace
