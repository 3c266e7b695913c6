#include "platform/Device.h"

#include <fcntl.h>
#include <sys/random.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <mutex>

#include "core/Exception.h"
#include "core/Log.h"
#include "platform/Paths.h"
#include "platform/SafeFile.h"

namespace peckish::platform {
namespace {
constexpr std::size_t kIdentifierBytes = 20;  // 160 bits, 40 hex digits: the field's width

struct Kept {
  std::mutex mutex;
  std::string path;        // the file it was read from or written to
  std::string identifier;  // empty until made or read in this run
};
Kept& kept() {
  static Kept k;
  return k;
}

bool fillRandom(unsigned char* out, std::size_t n) {
  std::size_t done = 0;
  while (done < n) {
    const ssize_t got = ::getrandom(out + done, n - done, 0);
    if (got > 0) done += static_cast<std::size_t>(got);
    else if (got < 0 && errno != EINTR) break;
  }
  if (done == n) return true;
  const int fd = ::open("/dev/urandom", O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  done = 0;
  while (done < n) {
    const ssize_t got = ::read(fd, out + done, n - done);
    if (got > 0) done += static_cast<std::size_t>(got);
    else if (got == 0 || errno != EINTR) break;
  }
  ::close(fd);
  return done == n;
}

bool isIdentifier(const std::string& s) {
  if (s.size() != 2 * kIdentifierBytes) return false;
  for (char c : s)
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
  return true;
}

std::string readFirstLine(const std::string& path) {
  std::ifstream in(path);
  std::string line;
  std::getline(in, line);
  return line;
}
}  // namespace

std::string deviceIdentifierPath() { return configDirectory() + "/analytics-id"; }

std::string deviceUniqueIdentifier() {
  Kept& k = kept();
  std::lock_guard<std::mutex> lock(k.mutex);
  const std::string path = deviceIdentifierPath();
  if (!k.identifier.empty() && k.path == path) return k.identifier;
  k.path = path;
  if (std::string line = readFirstLine(path); isIdentifier(line)) return k.identifier = line;
  unsigned char bytes[kIdentifierBytes];
  if (!fillRandom(bytes, sizeof bytes))
    throw Exception(kInternalInconsistency, "no random bytes for the installation's identifier");
  std::string id;
  for (unsigned char b : bytes) {
    char hex[3];
    std::snprintf(hex, sizeof hex, "%02x", b);
    id += hex;
  }
  std::string reason = "cannot create its folder";
  if (!createDirectories(configDirectory()) || !replaceFile(path, id + "\n", 0600, reason))
    engineLog("the analytics identifier could not be kept in %s (%s); it lasts for this run", path.c_str(),
              reason.c_str());
  return k.identifier = id;
}

void forgetDeviceUniqueIdentifier() {
  Kept& k = kept();
  std::lock_guard<std::mutex> lock(k.mutex);
  k.identifier.clear();
  for (const std::string& path : {deviceIdentifierPath(), configDirectory() + "/device-id"}) {
    if (::unlink(path.c_str()) != 0 && errno != ENOENT)
      engineLog("%s could not be deleted: %s", path.c_str(), std::strerror(errno));
  }
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
