#include "platform/SafeFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace peckish::platform {
namespace {

bool writeAll(int fd, const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

FileText readWholeFile(const std::string& path) {
  FileText f;
  int fd;
  do {
    fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) {
    if (errno == ENOENT || errno == ENOTDIR) return f;
    f.status = FileText::Status::Failed;
    f.error = errno;
    return f;
  }
  struct stat st{};
  if (::fstat(fd, &st) == 0) f.mode = st.st_mode & 07777;
  char buf[4096];
  for (;;) {
    const ssize_t n = ::read(fd, buf, sizeof buf);
    if (n > 0) {
      f.text.append(buf, static_cast<size_t>(n));
    } else if (n == 0) {
      break;
    } else if (errno != EINTR) {
      f.status = FileText::Status::Failed;
      f.error = errno;
      ::close(fd);
      return f;
    }
  }
  ::close(fd);
  f.status = FileText::Status::Read;
  return f;
}

bool replaceFile(const std::string& path, const std::string& text, unsigned mode, std::string& reason) {
  std::string temporary = path + ".XXXXXX";
  const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
  if (fd < 0) {
    reason = std::strerror(errno);
    return false;
  }
  ::fchmod(fd, static_cast<mode_t>(mode));  // mkostemp makes it private; keep the mode the file had
  if (!writeAll(fd, text) || ::fsync(fd) != 0) {
    reason = std::strerror(errno);
    ::close(fd);
    ::unlink(temporary.c_str());
    return false;
  }
  if (::close(fd) != 0 || ::rename(temporary.c_str(), path.c_str()) != 0) {
    reason = std::strerror(errno);
    ::unlink(temporary.c_str());
    return false;
  }
  const size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
  const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    // Some file systems cannot sync a folder (EINVAL); the rename stands there as it does anywhere.
    const bool synced = ::fsync(dir) == 0 || errno == EINVAL;
    if (!synced) reason = std::strerror(errno);
    ::close(dir);
    return synced;
  }
  reason = std::strerror(errno);
  return false;
}

}  // namespace peckish::platform
