#include "platform/FileLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <thread>
#include <utility>

namespace peckish::platform {

FileLock::~FileLock() { release(); }

FileLock::FileLock(FileLock&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

FileLock& FileLock::operator=(FileLock&& other) noexcept {
  if (this != &other) {
    release();
    fd_ = std::exchange(other.fd_, -1);
  }
  return *this;
}

FileLock FileLock::tryLock(const std::string& path, Mode mode) {
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return FileLock();
  int rc;
  do {
    rc = ::flock(fd, (mode == Mode::Exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB);
  } while (rc != 0 && errno == EINTR);
  if (rc != 0) {
    ::close(fd);
    return FileLock();
  }
  return FileLock(fd);
}

FileLock FileLock::lockWithin(const std::string& path, Mode mode, std::chrono::milliseconds wait) {
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return FileLock();
  const auto deadline = std::chrono::steady_clock::now() + wait;
  for (;;) {
    if (::flock(fd, (mode == Mode::Exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB) == 0) return FileLock(fd);
    const int err = errno;
    if (err != EINTR && err != EWOULDBLOCK) {
      ::close(fd);
      errno = err;
      return FileLock();
    }
    if (err == EWOULDBLOCK && std::chrono::steady_clock::now() >= deadline) {
      ::close(fd);
      errno = EWOULDBLOCK;
      return FileLock();
    }
    if (err == EWOULDBLOCK) std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
}

void FileLock::release() noexcept {
  if (fd_ < 0) return;
  ::close(fd_);  // closing the only descriptor of the open file drops its lock
  fd_ = -1;
}

}  // namespace peckish::platform
