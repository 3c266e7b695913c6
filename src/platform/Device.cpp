#include "platform/Device.h"

#include <sys/utsname.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>

#include "platform/Paths.h"

namespace peckish::platform {
namespace {
// FNV-1a based 160-bit spread: enough to turn machine-id into a fixed-width identifier without
// exposing the raw id.
std::string spreadHex(const std::string& seed) {
  std::string out;
  uint64_t h = 1469598103934665603ull;
  for (int round = 0; round < 3; ++round) {
    for (unsigned char c : seed) {
      h ^= c;
      h *= 1099511628211ull;
    }
    h ^= static_cast<uint64_t>(round + 1);
    h *= 1099511628211ull;
    char buf[17];
    std::snprintf(buf, sizeof buf, "%016llx", static_cast<unsigned long long>(h));
    out += buf;
  }
  return out.substr(0, 40);
}
std::string readFirstLine(const std::string& path) {
  std::ifstream in(path);
  std::string line;
  std::getline(in, line);
  return line;
}
}  // namespace

std::string deviceUniqueIdentifier() {
  std::string mid = readFirstLine("/etc/machine-id");
  if (mid.empty()) mid = readFirstLine("/var/lib/dbus/machine-id");
  if (!mid.empty()) return spreadHex("peckish:" + mid);
  std::string path = configDirectory() + "/device-id";
  std::string kept = readFirstLine(path);
  if (kept.size() == 40) return kept;
  std::random_device rd;
  std::string seed;
  for (int i = 0; i < 8; ++i) seed += std::to_string(rd());
  std::string id = spreadHex(seed);
  createDirectories(configDirectory());
  std::ofstream(path) << id << '\n';
  return id;
}

std::string deviceModel() {
  utsname u{};
  if (::uname(&u) != 0) return "Linux desktop";
  return std::string(u.sysname) + " " + u.machine + " desktop";
}

std::string currentLocaleIdentifier() {
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* v = std::getenv(name);
    if (!v || !*v) continue;
    std::string s(v);
    s = s.substr(0, s.find_first_of(".@"));
    if (s == "C" || s == "POSIX" || s.empty()) continue;
    return s;
  }
  return "en_US";
}

}  // namespace peckish::platform
