#include "core/Log.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <memory>
#include <mutex>
#include <set>

namespace peckish {
namespace {
std::mutex& sinkMutex() {
  static std::mutex m;
  return m;
}
LogSink& sinkRef() {
  static LogSink s;
  return s;
}
std::atomic<bool> g_verbose{true};
std::set<std::string>& shownNotices() {
  static std::set<std::string> s;
  return s;
}
}  // namespace

void setLogVerbose(bool on) { g_verbose.store(on, std::memory_order_relaxed); }
bool logVerbose() { return g_verbose.load(std::memory_order_relaxed); }

bool playerNotice(const char* fmt, ...) {
  char buf[512];
  va_list ap;
  va_start(ap, fmt);
  std::vsnprintf(buf, sizeof buf, fmt, ap);
  va_end(ap);
  std::string line = std::string("peckish: ") + buf;
  LogSink sink;
  {
    std::lock_guard<std::mutex> lock(sinkMutex());
    if (!shownNotices().insert(line).second) return false;
    if (sinkRef()) sink = sinkRef();
  }
  if (sink) {
    sink(line);
  } else {
    std::fprintf(stderr, "%s\n", line.c_str());
  }
  return true;
}

void resetPlayerNotices() {
  std::lock_guard<std::mutex> lock(sinkMutex());
  shownNotices().clear();
}

void engineLog(const char* fmt, ...) {
  char buf[1024];
  va_list ap;
  va_start(ap, fmt);
  int n = std::vsnprintf(buf, sizeof buf, fmt, ap);
  va_end(ap);
  LogSink sink;
  {
    std::lock_guard<std::mutex> lock(sinkMutex());
    if (sinkRef()) sink = sinkRef();
  }
  if (!sink && !g_verbose.load(std::memory_order_relaxed)) return;
  if (!sink && n >= 0 && n < static_cast<int>(sizeof buf)) {
    std::fprintf(stderr, "%s\n", buf);  // the common case: straight out, nothing allocated
    return;
  }
  std::string line;
  if (n >= static_cast<int>(sizeof buf)) {
    line.resize(static_cast<size_t>(n));
    va_start(ap, fmt);
    std::vsnprintf(line.data(), line.size() + 1, fmt, ap);
    va_end(ap);
  } else if (n > 0) {
    line.assign(buf, static_cast<size_t>(n));
  }
  if (sink) {
    sink(line);
  } else {
    std::fprintf(stderr, "%s\n", line.c_str());
  }
}

LogSink setLogSink(LogSink sink) {
  std::lock_guard<std::mutex> lock(sinkMutex());
  LogSink old = std::move(sinkRef());
  sinkRef() = std::move(sink);
  return old;
}

struct LogCapture::State {
  mutable std::mutex mutex;
  std::vector<std::string> lines;
};

LogCapture::LogCapture() : state_(new State) {
  State* st = state_;
  previous_ = setLogSink([st](const std::string& line) {
    std::lock_guard<std::mutex> lock(st->mutex);
    st->lines.push_back(line);
  });
}

LogCapture::~LogCapture() {
  setLogSink(std::move(previous_));
  delete state_;
}

std::vector<std::string> LogCapture::lines() const {
  std::lock_guard<std::mutex> lock(state_->mutex);
  return state_->lines;
}

bool LogCapture::contains(const std::string& text) const { return count(text) > 0; }

int LogCapture::count(const std::string& text) const {
  std::lock_guard<std::mutex> lock(state_->mutex);
  int n = 0;
  for (const auto& l : state_->lines) n += (l == text);
  return n;
}

void LogCapture::clear() {
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->lines.clear();
}

}  // namespace peckish
