#pragma once
// The development server's SQLite file: submitted scores, analytics uploads and their records.
// Safe to use from several request threads at once.
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "devserver/Envelope.h"

struct sqlite3;

namespace peckish::devserver {

struct ScoreRow {
  int64_t id = 0;
  int64_t gid = 0;
  std::string player;
  int64_t score = 0;
  int64_t time = 0;  // seconds since 1970 UTC
};

struct UploadRow {
  int64_t id = 0;
  std::string key;
  int64_t time = 0;
  std::string envelope;
  int64_t records = 0;
};

struct EventRow {
  int64_t id = 0;  // receive order over all uploads
  int64_t upload = 0;
  int64_t position = 0;  // order inside its upload, from 0
  std::string session, type, action, time, json;
};

class Store {
 public:
  // Opens (creating when missing, with its folder) the database at path; ":memory:" keeps it in
  // memory. Throws std::runtime_error when the file cannot be used.
  explicit Store(const std::string& path);
  ~Store();
  Store(const Store&) = delete;
  Store& operator=(const Store&) = delete;

  int64_t addScore(int64_t gid, const std::string& player, int64_t score);
  std::vector<ScoreRow> scores() const;                      // in arrival order
  std::vector<ScoreRow> ranking(int64_t gid, int limit) const;  // best first, earlier first on ties

  // Stores the upload and all its records in one transaction; returns the upload's id.
  int64_t addUpload(const std::string& key, const std::string& envelope, const std::vector<EnvelopeRecord>& records);
  std::vector<UploadRow> uploads() const;
  std::vector<EventRow> events(const std::optional<std::string>& session = std::nullopt) const;

  void clear();

 private:
  void exec(const char* sql) const;
  sqlite3* db_ = nullptr;
  mutable std::mutex mutex_;
};

}  // namespace peckish::devserver
