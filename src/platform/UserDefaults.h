#pragma once
// The user defaults: string values by key, kept in <config folder>/defaults (one "key=value" line
// each, values escaped) and written at once on every change.
//
// A write never leaves a damaged file: it goes to a uniquely named file beside it, checked, synced
// and renamed over the old one. Copies of the game running at once each take the lock file
// <config folder>/defaults.lock while saving, read the file again and change only the keys they set
// or removed since they last read it, so neither erases the other's changes. Lines that do not parse
// are written back as they were. When a save fails the old file stays as it was, the change lives on
// in memory (and goes out with the next save that succeeds), and the player is told once. A file
// that exists but cannot be read is never written over in that run.

#include <map>
#include <mutex>
#include <optional>
#include <string>

namespace peckish::platform {

class UserDefaults {
 public:
  static UserDefaults& standard();
  std::optional<std::string> stringForKey(const std::string& key);
  void setString(const std::string& key, const std::string& value);
  void removeObjectForKey(const std::string& key);
  // Re-reads the file and forgets what this run could not save, as a new run would (tests point
  // PECKISH_DATA_DIR elsewhere and reload).
  void reload();
  std::string filePath() const;

 private:
  UserDefaults();
  void load();
  void save();
  void tellUnreadable(const std::string& reason);
  std::mutex mutex_;
  std::map<std::string, std::string> values_;
  // The keys set (a value) or removed (none) since the file was last read, not yet written.
  std::map<std::string, std::optional<std::string>> unsaved_;
  bool loaded_ = false;
  bool unreadable_ = false;  // the file exists but could not be read: left alone for this run
  bool saveFailureShown_ = false;
};

}  // namespace peckish::platform
