#include "platform/UserDefaults.h"

#include <cstdio>
#include <fstream>
#include <sstream>

#include "platform/Paths.h"

namespace peckish::platform {
namespace {
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
}  // namespace

UserDefaults::UserDefaults() = default;

UserDefaults& UserDefaults::standard() {
  static UserDefaults d;
  return d;
}

std::string UserDefaults::filePath() const { return configDirectory() + "/defaults"; }

void UserDefaults::load() {
  if (loaded_) return;
  loaded_ = true;
  values_.clear();
  std::ifstream in(filePath());
  std::string line;
  while (std::getline(in, line)) {
    size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    values_[unescape(line.substr(0, eq))] = unescape(line.substr(eq + 1));
  }
}

void UserDefaults::save() {
  createDirectories(configDirectory());
  std::string tmp = filePath() + ".tmp";
  {
    std::ofstream out(tmp, std::ios::trunc);
    for (const auto& [k, v] : values_) out << escape(k) << '=' << escape(v) << '\n';
  }
  std::rename(tmp.c_str(), filePath().c_str());  // replace in one step: never a half-written file
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
  save();
}

void UserDefaults::removeObjectForKey(const std::string& key) {
  std::lock_guard<std::mutex> lock(mutex_);
  load();
  values_.erase(key);
  save();
}

void UserDefaults::reload() {
  std::lock_guard<std::mutex> lock(mutex_);
  loaded_ = false;
  load();
}

}  // namespace peckish::platform
