#include "platform/HighScoreTable.h"

#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "core/Log.h"
#include "platform/FileLock.h"
#include "platform/Paths.h"
#include "platform/SafeFile.h"

namespace peckish::platform {
namespace {

// How long a change waits for another copy of the game to finish its own.
constexpr std::chrono::milliseconds kLockWait{1000};
constexpr const char* kHeader = "peckish high scores 1";

std::string escape(const std::string& s) {
  std::string out;
  for (char c : s) {
    if (c == '\\') out += "\\\\";
    else if (c == '\n') out += "\\n";
    else if (c == '\t') out += "\\t";
    else out += c;
  }
  return out;
}

std::optional<std::string> unescape(const std::string& s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] != '\\') {
      out += s[i];
      continue;
    }
    if (++i == s.size()) return std::nullopt;
    const char n = s[i];
    if (n == '\\') out += '\\';
    else if (n == 'n') out += '\n';
    else if (n == 't') out += '\t';
    else return std::nullopt;
  }
  return out;
}

// The length of the UTF-8 sequence starting at s[i], or 0 when none starts there.
size_t sequenceLength(const std::string& s, size_t i) {
  const auto b = static_cast<unsigned char>(s[i]);
  size_t n = b < 0x80 ? 1 : (b & 0xE0) == 0xC0 ? 2 : (b & 0xF0) == 0xE0 ? 3 : (b & 0xF8) == 0xF0 ? 4 : 0;
  if (n == 0 || i + n > s.size()) return 0;
  for (size_t k = 1; k < n; ++k)
    if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return 0;
  return n;
}

std::optional<int> parseCount(const std::string& s) {
  if (s.empty() || s.size() > 9) return std::nullopt;
  int v = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return std::nullopt;
    v = v * 10 + (c - '0');
  }
  return v;
}

std::string stamp(const char* format) {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  ::localtime_r(&now, &local);
  char text[32];
  std::strftime(text, sizeof text, format, &local);
  return text;
}

std::string newId() {
  static unsigned counter = 0;
  const auto micros = std::chrono::duration_cast<std::chrono::microseconds>(
                          std::chrono::system_clock::now().time_since_epoch())
                          .count();
  return std::to_string(micros) + "-" + std::to_string(::getpid()) + "-" + std::to_string(++counter);
}

}  // namespace

HighScoreTable& HighScoreTable::standard() {
  static HighScoreTable table;
  return table;
}

std::string HighScoreTable::filePath() const { return documentsDirectory() + "/highscores"; }

size_t HighScoreTable::placeFor(const std::vector<HighScore>& entries, int score) {
  size_t i = 0;
  while (i < entries.size() && entries[i].score >= score) ++i;
  return i;
}

std::string HighScoreTable::clipName(const std::string& name) {
  size_t end = 0;
  while (end < name.size()) {
    const size_t n = sequenceLength(name, end);
    const size_t step = n == 0 ? 1 : n;  // a stray byte is kept as it came
    if (end + step > kMaxNameBytes) break;
    end += step;
  }
  return name.substr(0, end);
}

std::string HighScoreTable::format(const std::vector<HighScore>& entries) {
  std::string out = kHeader;
  out += '\n';
  for (const HighScore& e : entries) {
    out += std::to_string(e.score) + '\t' + std::to_string(e.level) + '\t' + e.date + '\t' + e.id + '\t' +
           escape(e.name) + '\n';
  }
  return out;
}

std::optional<std::vector<HighScore>> HighScoreTable::parse(const std::string& text) {
  const std::string header = std::string(kHeader) + '\n';
  if (text.compare(0, header.size(), header) != 0) return std::nullopt;
  std::vector<HighScore> entries;
  size_t start = header.size();
  while (start < text.size()) {
    const size_t end = text.find('\n', start);
    if (end == std::string::npos) return std::nullopt;  // cut short
    std::vector<std::string> fields;
    size_t from = start;
    for (;;) {
      const size_t tab = text.find('\t', from);
      if (tab == std::string::npos || tab > end) {
        fields.push_back(text.substr(from, end - from));
        break;
      }
      fields.push_back(text.substr(from, tab - from));
      from = tab + 1;
    }
    start = end + 1;
    if (fields.size() != 5) return std::nullopt;
    const auto score = parseCount(fields[0]);
    const auto level = parseCount(fields[1]);
    const auto name = unescape(fields[4]);
    if (!score || !level || !name || fields[3].empty() || name->size() > kMaxNameBytes)
      return std::nullopt;
    if (!entries.empty() && entries.back().score < *score) return std::nullopt;  // out of order
    entries.push_back({*name, *score, *level, fields[2], fields[3]});
    if (entries.size() > kPlaces) return std::nullopt;
  }
  return entries;
}

HighScoreTable::Loaded HighScoreTable::load(std::vector<HighScore>& out) {
  out.clear();
  const std::string path = filePath();
  const FileText file = readWholeFile(path);
  if (file.status == FileText::Status::Failed) {
    unreadable_ = true;
    if (!unreadableShown_) {
      unreadableShown_ = true;
      playerNotice("the high-score table could not be read from %s (%s); it is left as it is and not saved this run",
                   path.c_str(), std::strerror(file.error));
    }
    return Loaded::Unreadable;
  }
  if (file.status == FileText::Status::Absent || file.text.empty()) return Loaded::Ok;
  if (auto entries = parse(file.text)) {
    out = std::move(*entries);
    return Loaded::Ok;
  }
  // Damaged: kept aside for whoever wants to look at it, and a fresh table begins.
  const std::string aside = path + ".damaged-" + stamp("%Y%m%d-%H%M%S");
  const bool kept = ::rename(path.c_str(), aside.c_str()) == 0;
  if (!damageShown_) {
    damageShown_ = true;
    if (kept)
      playerNotice("the high-score table in %s was damaged; it is kept as %s and a new table is started", path.c_str(),
                   aside.c_str());
    else
      playerNotice("the high-score table in %s is damaged and could not be kept aside (%s); it is not saved this run",
                   path.c_str(), std::strerror(errno));
  }
  if (!kept) {
    unreadable_ = true;
    return Loaded::Unreadable;
  }
  return Loaded::Ok;
}

bool HighScoreTable::save(const std::vector<HighScore>& entries) {
  const std::string path = filePath();
  std::string reason;
  const FileText current = readWholeFile(path);  // for its mode
  if (replaceFile(path, format(entries), current.mode, reason)) return true;
  tellNotSaved(reason);
  return false;
}

void HighScoreTable::tellNotSaved(const std::string& reason) {
  if (saveFailureShown_) return;
  saveFailureShown_ = true;
  playerNotice("the high-score table could not be saved to %s (%s); it stays as it was", filePath().c_str(),
               reason.c_str());
}

std::vector<HighScore> HighScoreTable::entries() {
  std::vector<HighScore> entries;
  if (unreadable_) return entries;
  const FileLock lock = FileLock::lockWithin(filePath() + ".lock", FileLock::Mode::Exclusive, kLockWait);
  if (!lock.held()) {
    // Another copy is changing it; what is on disk is still a whole table.
    auto parsed = parse(readWholeFile(filePath()).text);
    return parsed ? *parsed : entries;
  }
  load(entries);
  return entries;
}

std::string HighScoreTable::add(const std::string& name, int score, int level) {
  if (unreadable_) return "";
  auto failed = [this](const std::string& reason) {
    tellNotSaved(reason);
    return std::string();
  };
  if (!createDirectories(documentsDirectory())) return failed("cannot create its folder");
  // Another copy of the game may be adding its score too: wait for it, then start from its table.
  const FileLock lock = FileLock::lockWithin(filePath() + ".lock", FileLock::Mode::Exclusive, kLockWait);
  if (!lock.held())
    return failed(errno == EWOULDBLOCK ? "another copy of the game holds it" : std::strerror(errno));
  std::vector<HighScore> entries;
  if (load(entries) != Loaded::Ok) return "";
  const size_t place = placeFor(entries, score < 0 ? 0 : score);
  if (place >= kPlaces) return "";
  HighScore entry{clipName(name), score < 0 ? 0 : score, level, stamp("%Y-%m-%d"), newId()};
  entries.insert(entries.begin() + static_cast<std::ptrdiff_t>(place), entry);
  if (entries.size() > kPlaces) entries.resize(kPlaces);
  return save(entries) ? entry.id : "";
}

bool HighScoreTable::rename(const std::string& id, const std::string& name) {
  if (unreadable_ || id.empty()) return false;
  const FileLock lock = FileLock::lockWithin(filePath() + ".lock", FileLock::Mode::Exclusive, kLockWait);
  if (!lock.held()) return false;
  std::vector<HighScore> entries;
  if (load(entries) != Loaded::Ok) return false;
  for (HighScore& e : entries) {
    if (e.id != id) continue;
    const std::string clipped = clipName(name);
    if (e.name == clipped) return true;
    e.name = clipped;
    return save(entries);
  }
  return false;
}

void HighScoreTable::reload() {
  unreadable_ = false;
  saveFailureShown_ = false;
  damageShown_ = false;
  unreadableShown_ = false;
}

}  // namespace peckish::platform
