#pragma once
// An advisory lock (flock(2)) on a file, held until the object is destroyed or released. Locks
// taken through two objects conflict even within one process, as they would between processes;
// the kernel drops them when the process ends, however it ends.
#include <chrono>
#include <string>

namespace peckish::platform {

class FileLock {
 public:
  enum class Mode { Shared, Exclusive };

  FileLock() = default;
  ~FileLock();
  FileLock(FileLock&& other) noexcept;
  FileLock& operator=(FileLock&& other) noexcept;
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

  // Takes the lock without waiting, creating the file if need be; an empty lock (held() false)
  // when another holder stands in the way or the file cannot be opened.
  static FileLock tryLock(const std::string& path, Mode mode);
  // The same, waiting up to `wait` for another holder to let go. When the lock comes back empty,
  // errno says why (EWOULDBLOCK: still held by another when the wait ran out).
  static FileLock lockWithin(const std::string& path, Mode mode, std::chrono::milliseconds wait);

  bool held() const noexcept { return fd_ >= 0; }
  void release() noexcept;

 private:
  explicit FileLock(int fd) : fd_(fd) {}
  int fd_ = -1;
};

}  // namespace peckish::platform
