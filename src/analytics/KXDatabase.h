#pragma once
// The analytics client's persistent queue: one SQLite file "<documents>/Kestrix/kestrix.sql" with
// the table items, holding action and geo records until they are uploaded. Queue order is id
// order. Every operation holds the store's own recursive lock for its whole SQL work; failures
// raise Exception(kInternalInconsistency, <message>) after the lock is released.
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

  const std::string& databasePath() const noexcept { return path_; }
  // The store's lock, for callers that need several operations as one.
  std::recursive_mutex& lock() noexcept { return mutex_; }

 private:
  void open();
  [[noreturn]] void fail(const char* format);

  std::string documents_;
  std::string path_;
  sqlite3* sqlDatabase_ = nullptr;
  std::recursive_mutex mutex_;
};

}  // namespace peckish
