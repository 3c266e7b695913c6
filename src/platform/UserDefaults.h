#pragma once
// The user defaults: string values by key, kept in <config folder>/defaults (one "key=value" line
// each, values escaped) and written at once on every change.
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
  // Re-reads the file (tests point PECKISH_DATA_DIR elsewhere and reload).
  void reload();
  std::string filePath() const;

 private:
  UserDefaults();
  void load();
  void save();
  std::mutex mutex_;
  std::map<std::string, std::string> values_;
  bool loaded_ = false;
};

}  // namespace peckish::platform
