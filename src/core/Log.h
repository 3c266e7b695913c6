#pragma once
// The platform log: one line per call, printf-style. Tests install a sink to read the exact texts.
#include <functional>
#include <string>
#include <vector>

namespace peckish {

void engineLog(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

using LogSink = std::function<void(const std::string& line)>;
// Replaces the sink (nullptr restores standard error); returns the previous one.
LogSink setLogSink(LogSink sink);

// Collects every log line while alive (restores the previous sink afterwards).
class LogCapture {
 public:
  LogCapture();
  ~LogCapture();
  LogCapture(const LogCapture&) = delete;
  LogCapture& operator=(const LogCapture&) = delete;
  std::vector<std::string> lines() const;
  bool contains(const std::string& text) const;
  int count(const std::string& text) const;
  void clear();

 private:
  struct State;
  State* state_;
  LogSink previous_;
};

}  // namespace peckish
