#include "platform/UserDefaults.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <set>
#include <utility>
#include <vector>

#include "core/Log.h"
#include "platform/FileLock.h"
#include "platform/Paths.h"
#include "platform/SafeFile.h"

namespace peckish::platform {
namespace {

// How long a save waits for another copy of the game to finish its own.
constexpr std::chrono::milliseconds kLockWait{1000};

std::string escape(const std::string& s) {
  std::string out;
  for (char c : s) {
    if (c == '\\') out += "\\\\";
    else if (c == '\n') out += "\\n";
    else if (c == '=') out += "\\e";
    else out += c;
  }
  return out;
}
std::string unescape(const std::string& s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\\' && i + 1 < s.size()) {
      char n = s[++i];
      out += n == 'n' ? '\n' : n == 'e' ? '=' : n;
    } else {
      out += s[i];
    }
  }
  return out;
}

std::optional<std::pair<std::string, std::string>> parseLine(const std::string& line) {
  const size_t eq = line.find('=');
  if (eq == std::string::npos) return std::nullopt;
  return std::make_pair(unescape(line.substr(0, eq)), unescape(line.substr(eq + 1)));
}

std::vector<std::string> splitLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

std::map<std::string, std::string> parseAll(const std::string& text) {
  std::map<std::string, std::string> values;
  for (const std::string& line : splitLines(text)) {
    if (auto kv = parseLine(line)) values[kv->first] = kv->second;
  }
  return values;
}

// The file's text with the given changes made: a changed key's first line takes the new value (its
// other lines go), a removed key's lines go, every other line stays byte for byte, and keys new to
// the file go in before the first line whose key sorts after them (a file kept in key order stays so).
std::string applyChanges(const std::string& text, const std::map<std::string, std::optional<std::string>>& changes) {
  const std::vector<std::string> lines = splitLines(text);
  std::set<std::string> present;
  for (const std::string& line : lines) {
    if (auto kv = parseLine(line)) present.insert(kv->first);
  }
  std::vector<std::pair<std::string, std::string>> added;
  for (const auto& [key, value] : changes) {
    if (value && !present.count(key)) added.emplace_back(key, *value);
  }
  std::string out;
  auto emit = [&out](const std::string& key, const std::string& value) {
    out += escape(key);
    out += '=';
    out += escape(value);
    out += '\n';
  };
  auto next = added.begin();
  std::set<std::string> written;
  for (const std::string& line : lines) {
    const auto kv = parseLine(line);
    if (!kv) {
      out += line;
      out += '\n';
      continue;
    }
    for (; next != added.end() && next->first < kv->first; ++next) emit(next->first, next->second);
    const auto change = changes.find(kv->first);
    if (change == changes.end()) {
      out += line;
      out += '\n';
    } else if (change->second && written.insert(kv->first).second) {
      emit(kv->first, *change->second);
    }
  }
  for (; next != added.end(); ++next) emit(next->first, next->second);
  return out;
}

}  // namespace

UserDefaults::UserDefaults() = default;

UserDefaults& UserDefaults::standard() {
  static UserDefaults d;
  return d;
}

std::string UserDefaults::filePath() const { return configDirectory() + "/defaults"; }

void UserDefaults::tellUnreadable(const std::string& reason) {
  if (saveFailureShown_) return;
  saveFailureShown_ = true;
  playerNotice("settings could not be read from %s (%s); they are left as they are and not saved this run",
               filePath().c_str(), reason.c_str());
}

void UserDefaults::load() {
  if (loaded_) return;
  loaded_ = true;
  values_.clear();
  unsaved_.clear();
  unreadable_ = false;
  saveFailureShown_ = false;
  const FileText file = readWholeFile(filePath());
  if (file.status == FileText::Status::Failed) {
    unreadable_ = true;
    tellUnreadable(std::strerror(file.error));
    return;
  }
  values_ = parseAll(file.text);
}

void UserDefaults::save() {
  if (unreadable_) return;  // never written over in this run; the player has been told
  const std::string path = filePath();
  std::string reason;
  auto failed = [&] {
    if (saveFailureShown_) return;
    saveFailureShown_ = true;
    playerNotice("settings could not be saved to %s (%s); changes last until the game quits", path.c_str(),
                 reason.c_str());
  };
  if (!createDirectories(configDirectory())) {
    reason = "cannot create its folder";
    return failed();
  }
  // Another copy of the game may be saving too: wait for it, then start from what it wrote.
  const FileLock lock = FileLock::lockWithin(path + ".lock", FileLock::Mode::Exclusive, kLockWait);
  if (!lock.held()) {
    reason = errno == EWOULDBLOCK ? "another copy of the game holds it" : std::strerror(errno);
    return failed();
  }
  const FileText current = readWholeFile(path);
  if (current.status == FileText::Status::Failed) {
    unreadable_ = true;
    tellUnreadable(std::strerror(current.error));
    return;
  }
  const std::string text = applyChanges(current.text, unsaved_);
  if (text != current.text) {
    if (!replaceFile(path, text, current.mode, reason)) return failed();
  }
  unsaved_.clear();
  values_ = parseAll(text);  // what the file now holds, the other copies' changes included
}

std::optional<std::string> UserDefaults::stringForKey(const std::string& key) {
  std::lock_guard<std::mutex> lock(mutex_);
  load();
  auto it = values_.find(key);
  if (it == values_.end()) return std::nullopt;
  return it->second;
}

void UserDefaults::setString(const std::string& key, const std::string& value) {
  std::lock_guard<std::mutex> lock(mutex_);
  load();
  values_[key] = value;
  unsaved_[key] = value;
  save();
}

void UserDefaults::removeObjectForKey(const std::string& key) {
  std::lock_guard<std::mutex> lock(mutex_);
  load();
  values_.erase(key);
  unsaved_[key] = std::nullopt;
  save();
}

void UserDefaults::reload() {
  std::lock_guard<std::mutex> lock(mutex_);
  loaded_ = false;
  load();
}

}  // namespace peckish::platform
